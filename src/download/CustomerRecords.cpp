#include "CustomerRecords.h"

#include "ReaderLink.h"
#include "TextLines.h"

namespace {
const QString kNoAnswer = QStringLiteral("응답이 없습니다");
const QString kNotHeld = QStringLiteral("번호가 없습니다");
const QString kBadAnswer = QStringLiteral(" 데이터 에러");
const QString kNo = QStringLiteral(" No");
const QString kYes = QStringLiteral(" Yes");
const QString kUnknownFlag = QStringLiteral("  ?");

const QString kCountNoAnswer = QStringLiteral("     응답이 없습니다");
const QString kCountBadAnswer = QStringLiteral("     데이터가 부정확합니다");
const QString kCountRepeat = QStringLiteral("     제전송요청!");
const QString kDeleteNoAnswer = QStringLiteral("    응답이 없습니다");
const QString kDeleted = QStringLiteral("고객자료가 삭제되었습니다");
const QString kDeleteBadAnswer = QStringLiteral("    수신데이터 에러");

constexpr int kEmployeeDigits = 10;
constexpr int kPrefixDigits = 6;
constexpr int kQueryWaitMs = 700;
constexpr int kDeleteAllWaitMs = 200;

bool packLeadingDigits(const QString& entry, int digits, QByteArray& packed) {
    const QByteArray text = entry.left(digits).toLatin1();
    if (text.size() < digits) return false;
    for (char c : text)
        if (!ReaderLink::IsDigitChar(c)) return false;
    return packDigitPairs(text, digits / 2, packed);
}

QString digitsOf(const QByteArray& bytes) {
    QString text;
    for (char b : bytes) text += ReaderLink::ByteToDigits(quint8(b));
    return text;
}

bool acknowledged(ReaderLink& link, const char* command, const QByteArray& data, int reader) {
    link.ClearInput();
    if (data.isEmpty())
        link.SendFrame(command, reader);
    else
        link.SendDataFrame(command, data, reader);
    link.WaitTicks(3);
    return link.ReportWriteAck(command) == 1;
}
} // namespace

bool packEmployeeNumber(const QString& entry, QByteArray& packed) {
    return packLeadingDigits(entry, kEmployeeDigits, packed);
}

bool packEmployeePrefix(const QString& entry, QByteArray& packed) {
    return packLeadingDigits(entry, kPrefixDigits, packed);
}

CustomerRow customerRow(const Reply& reply) {
    switch (reply.status) {
    case Reply::NoAnswer:
        return {kNoAnswer, {}, {}};
    case Reply::NotHeld:
        return {kNotHeld, {}, {}};
    case Reply::Good:
        break;
    default:
        return {kBadAnswer, {}, {}};
    }
    const quint8 flags = reply.byte(5);
    const int negative = flags >> 4;
    const int sign = flags & 0x0F;
    const QString flagText = negative == 0 ? kNo : negative == 1 ? kYes : kUnknownFlag;
    const QChar signChar = sign == 0 ? u'+' : sign == 1 ? u'-' : u'?';
    return {QStringLiteral("  ") + digitsOf(reply.data.left(5)), flagText,
            QStringLiteral(" ") + signChar + digitsOf(reply.data.mid(6, 3)) + QStringLiteral("0원")};
}

CustomerRow queryCustomer(ReaderLink& link, int reader, const QByteArray& employeeNumber) {
    link.ClearInput();
    link.SendDataFrame("D4", employeeNumber, reader);
    link.AwaitAnswer(kQueryWaitMs);
    return customerRow(link.ReadReply(12, "D4", reader));
}

bool addCustomer(ReaderLink& link, int reader, const QByteArray& employeeNumber) {
    return acknowledged(link, "D5", employeeNumber, reader);
}

bool deleteCustomer(ReaderLink& link, int reader, const QByteArray& employeePrefix) {
    return acknowledged(link, "D6", employeePrefix, reader);
}

bool changeCustomer(ReaderLink& link, int reader, const QByteArray& employeeNumber) {
    return acknowledged(link, "D7", employeeNumber, reader);
}

bool testLink(ReaderLink& link, int reader) {
    link.ClearInput();
    link.SendFrame("A0", reader);
    link.WaitTicks(3);
    const char status = link.ReadReply(4, "A0", reader).status;
    if (status == Reply::Good) return true;
    // The texts of the short acknowledgement: nothing came, or something else came.
    link.ShowNotice(ReaderLink::writeAckText(status == Reply::NoAnswer ? AckNone : AckBad));
    return false;
}

bool resetMealCounts(ReaderLink& link, int reader) {
    return acknowledged(link, "E0", {}, reader);
}

QString customerCountText(ReaderLink& link, int reader) {
    link.SendFrame("D8", reader);
    link.WaitTicks(3);
    return customerCountText(link.ReadReply(6, "D8", reader));
}

QString customerCountText(const Reply& reply) {
    switch (reply.status) {
    case Reply::NoAnswer:
        return kCountNoAnswer;
    case Reply::Good:
        return QStringLiteral("        ") + digitsOf(reply.data) + QStringLiteral("건");
    case Reply::BadFrame:
        return kCountBadAnswer;
    case Reply::Nak:
        return kCountRepeat;
    case Reply::Held:
        return QStringLiteral("        ") + ReaderLink::heldText();
    default:
        return {};
    }
}

QString deleteCustomersText(ReaderLink& link, int reader) {
    link.SendFrame("D3", reader);
    link.AwaitAnswer(kDeleteAllWaitMs);
    return deleteCustomersText(link.ReadWriteAck("D3"));
}

QString deleteCustomersText(int ackResult) {
    switch (ackResult) {
    case 0:
        return kDeleteNoAnswer;
    case 1:
        return kDeleted;
    default:
        return kDeleteBadAnswer;
    }
}
