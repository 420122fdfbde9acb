// Exchanges about the customer records a reader holds: look one up ("D4"), add ("D5"), delete
// ("D6"), change ("D7"), count them ("D8") and erase them all ("D3"); plus the link test ("A0")
// and the meal-count reset ("E0") of the customer record dialog. Each returns what the dialog
// shows.
#pragma once

#include <QByteArray>
#include <QString>

class ReaderLink;
struct Reply;

// The first ten characters of an entry as five packed bytes; false unless all ten are digits.
bool packEmployeeNumber(const QString& entry, QByteArray& packed);
// The first six characters as three packed bytes (the delete goes by them); false unless all
// six are digits.
bool packEmployeePrefix(const QString& entry, QByteArray& packed);

// A reader's answer to "D4" as the three cells of its grid row.
struct CustomerRow {
    QString number;   // "  " + ten digits, or the failure text
    QString negative; // " No", " Yes" or "  ?"
    QString balance;  // " +0012340원": sign, six digits, one more 0 (the reader counts tens)
};
CustomerRow customerRow(const Reply& reply);
// Looks the packed employee number up in the reader.
CustomerRow queryCustomer(ReaderLink& link, int reader, const QByteArray& employeeNumber);

// Add, delete and change: true when the reader acknowledged; otherwise its refusal has been
// shown.
bool addCustomer(ReaderLink& link, int reader, const QByteArray& employeeNumber);
bool deleteCustomer(ReaderLink& link, int reader, const QByteArray& employeePrefix);
bool changeCustomer(ReaderLink& link, int reader, const QByteArray& employeeNumber);
// The link test takes the reader's answer to the status poll ("A0" with its status byte);
// true when it came whole, otherwise a notice has been shown.
bool testLink(ReaderLink& link, int reader);
// True when the reader acknowledged; otherwise its refusal has been shown.
bool resetMealCounts(ReaderLink& link, int reader);

// The grid texts of the count ("D8") and the delete-all ("D3") of one reader.
QString customerCountText(ReaderLink& link, int reader);
QString customerCountText(const Reply& reply);
QString deleteCustomersText(ReaderLink& link, int reader);
QString deleteCustomersText(int ackResult);
