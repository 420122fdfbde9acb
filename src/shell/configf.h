// The communication settings dialog: shows the settings the port holds and, on OK, applies the
// chosen ones to the port, the port indicator and the reader count and rewrites QRX.CFG.
// The reader count steps with the arrows ("증가", "감소") or the Up and Down keys in its field.
#pragma once

#include "ConfigFile.h"

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

class TForm_Config : public QDialog {
    Q_OBJECT
public:
    TForm_Config(TCustomComm& comm, int& readerCount, QLabel* indicator, const QString& configFileName,
                 QWidget* parent = nullptr);

    QButtonGroup* port_seting;
    QButtonGroup* baudrate_seting;
    QButtonGroup* parity_seting;
    QButtonGroup* databit_seting;
    QButtonGroup* Stopbit_Seting;
    QLineEdit* Edit1;
    QToolButton* UpDown1Up;
    QToolButton* UpDown1Down;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

    // The working values: port, speed, parity, data-bit and stop-bit item indexes, readers.
    ConfigBytes working() const { return working_; }

    void UpDown1Click(int step);
    void BitBtn1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    QButtonGroup* addGroup(QGroupBox* box, const QString& name, const QStringList& items, int columns,
                           int field);
    TCustomComm& comm_;
    int& readerCount_;
    QLabel* indicator_;
    QString fileName_;
    ConfigBytes working_{0, 3, 0, 1, 0, 1};
};
