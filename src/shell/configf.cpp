#include "configf.h"

#include "Prompts.h"
#include "TabOrder.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

namespace {
enum Field { Port, Speed, Parity, DataBits, StopBits, Readers };
// What a screen reader says for the reader-count arrows, which show only an arrow.
const char* const kMore = "증가";
const char* const kFewer = "감소";
} // namespace

TForm_Config::TForm_Config(TCustomComm& comm, int& readerCount, QLabel* indicator,
                           const QString& configFileName, QWidget* parent)
    : QDialog(parent), comm_(comm), readerCount_(readerCount), indicator_(indicator),
      fileName_(configFileName) {
    setObjectName("Form_Config");
    setWindowTitle(QStringLiteral("통신환경 설정"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(441, 340);

    auto* portBox = new QGroupBox(QStringLiteral(" Port "), this);
    port_seting = addGroup(portBox, "port_seting", {"COM1", "COM2", "COM3", "COM4"}, 4, Port);
    auto* speedBox = new QGroupBox(QStringLiteral(" BaudRate "), this);
    baudrate_seting = addGroup(speedBox, "baudrate_seting",
                               {"1200 bps", "2400 bps", "4800 bps", "9600 bps", "19200 bps"}, 3, Speed);
    auto* parityBox = new QGroupBox(QStringLiteral("Parity "), this);
    parity_seting = addGroup(parityBox, "parity_seting", {"None", "Even", "Odd"}, 1, Parity);
    auto* dataBox = new QGroupBox(QStringLiteral("DataBit"), this);
    databit_seting = addGroup(dataBox, "databit_seting", {"7 Bit", "8 Bit"}, 1, DataBits);
    auto* stopBox = new QGroupBox(QStringLiteral("StopBit"), this);
    Stopbit_Seting = addGroup(stopBox, "Stopbit_Seting", {"1 Bit", "2 Bit"}, 1, StopBits);

    auto* panel1 = new QLabel(QStringLiteral("리더갯수"), this);
    panel1->setObjectName("Panel1");
    panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel1->setAlignment(Qt::AlignCenter);
    Edit1 = new QLineEdit(QStringLiteral("00"), this);
    Edit1->setObjectName("Edit1");
    Edit1->setReadOnly(true);
    Edit1->setAlignment(Qt::AlignCenter);
    Edit1->setFixedWidth(48);
    Edit1->installEventFilter(this);
    panel1->setBuddy(Edit1);
    UpDown1Up = new QToolButton(this);
    UpDown1Up->setObjectName("UpDown1Up");
    UpDown1Up->setArrowType(Qt::UpArrow);
    UpDown1Up->setAccessibleName(QString::fromUtf8(kMore));
    UpDown1Down = new QToolButton(this);
    UpDown1Down->setObjectName("UpDown1Down");
    UpDown1Down->setArrowType(Qt::DownArrow);
    UpDown1Down->setAccessibleName(QString::fromUtf8(kFewer));
    connect(UpDown1Up, &QToolButton::clicked, this, [this] { UpDown1Click(+1); });
    connect(UpDown1Down, &QToolButton::clicked, this, [this] { UpDown1Click(-1); });

    BitBtn1 = new QPushButton(QStringLiteral("확인"), this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("취소"), this);
    BitBtn2->setObjectName("BitBtn2");
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        if (runGuarded([this] { BitBtn1Click(); })) accept();
    });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto* readers = new QHBoxLayout;
    readers->addWidget(panel1, 1);
    readers->addWidget(Edit1);
    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    arrows->addWidget(UpDown1Up);
    arrows->addWidget(UpDown1Down);
    readers->addLayout(arrows);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);

    auto* layout = new QGridLayout(this);
    layout->addWidget(portBox, 0, 0, 1, 3);
    layout->addWidget(speedBox, 1, 0, 1, 3);
    layout->addWidget(parityBox, 2, 0);
    layout->addWidget(dataBox, 2, 1);
    layout->addWidget(stopBox, 2, 2);
    layout->addLayout(readers, 3, 0, 1, 2);
    layout->addLayout(buttons, 4, 0, 1, 3);
    orderTabsByLayout(this);
    FormCreate();
}

// The count field steps with the arrow keys, as an up-down control bound to it would.
bool TForm_Config::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            UpDown1Click(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QButtonGroup* TForm_Config::addGroup(QGroupBox* box, const QString& name, const QStringList& items,
                                     int columns, int field) {
    box->setObjectName(name + "Box");
    auto* group = new QButtonGroup(box);
    group->setObjectName(name);
    auto* grid = new QGridLayout(box);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], box);
        button->setObjectName(QStringLiteral("%1_%2").arg(name).arg(i));
        group->addButton(button, i);
        grid->addWidget(button, i / columns, i % columns);
    }
    connect(group, &QButtonGroup::idClicked, this,
            [this, field](int index) { working_[field] = quint8(index); });
    return group;
}

void TForm_Config::FormCreate() {
    const std::string& device = comm_.DeviceName();
    const char digit = device.size() >= 4 ? device[3] : '\0';
    working_[Port] = digit >= '1' && digit <= '4' ? quint8(digit - '1') : 0;
    switch (comm_.BaudRate()) {
    case br1200:
        working_[Speed] = 0;
        break;
    case br2400:
        working_[Speed] = 1;
        break;
    case br4800:
        working_[Speed] = 2;
        break;
    case br19200:
        working_[Speed] = 4;
        break;
    default:
        working_[Speed] = 3;
        break;
    }
    working_[Parity] = comm_.Parity() == paOdd ? 2 : comm_.Parity() == paEven ? 1 : 0;
    working_[StopBits] = comm_.Stopbits() == sb20 ? 1 : 0;
    working_[DataBits] = comm_.Databits() == da7 ? 0 : 1;
    working_[Readers] = quint8(std::clamp(readerCount_, 1, 12));
    port_seting->button(working_[Port])->setChecked(true);
    baudrate_seting->button(working_[Speed])->setChecked(true);
    parity_seting->button(working_[Parity])->setChecked(true);
    databit_seting->button(working_[DataBits])->setChecked(true);
    Stopbit_Seting->button(working_[StopBits])->setChecked(true);
    Edit1->setText(QStringLiteral("%1").arg(working_[Readers], 2, 10, QLatin1Char('0')));
}

void TForm_Config::UpDown1Click(int step) {
    working_[Readers] = quint8(std::clamp(working_[Readers] + step, 1, 12));
    Edit1->setText(QStringLiteral("%1").arg(working_[Readers], 2, 10, QLatin1Char('0')));
}

void TForm_Config::BitBtn1Click() {
    const QString device = deviceNameForPort(working_[Port]);
    comm_.setDeviceName(device.toStdString());
    const TBaudrate rate = baudRateForSpeed(working_[Speed]);
    comm_.setBaudRate(rate);
    if (indicator_) indicator_->setText(device + speedText(rate));
    comm_.setStopbits(working_[StopBits] == 1 ? sb20 : sb10);
    comm_.setParity(working_[Parity] == 1 ? paEven : working_[Parity] == 2 ? paOdd : paNone);
    comm_.setDatabits(working_[DataBits] == 0 ? da7 : da8);
    readerCount_ = working_[Readers];
    writeConfigFile(fileName_, working_);
}
