#include "bus_connection.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// The keys under which the connection is remembered.
const QString keyTarget = QStringLiteral("bus/target");
const QString keyBaud = QStringLiteral("bus/baudRate");
const QString keyParity = QStringLiteral("bus/parity");

}  // namespace

std::optional<BusConnection> BusConnection::load() {
    const QSettings stored;
    const auto reading = rvx::bus::readTarget(stored.value(keyTarget).toString());
    if (!reading.target) {
        return std::nullopt;
    }
    BusConnection connection{*reading.target, {}};
    bool ok = false;
    const int baud = stored.value(keyBaud).toInt(&ok);
    if (ok && baud > 0) {
        connection.settings.baudRate = baud;
    }
    if (const auto parity = rvx::bus::readParity(stored.value(keyParity).toString())) {
        connection.settings.parity = *parity;
    }
    return connection;
}

void BusConnection::save() const {
    QSettings stored;
    stored.setValue(keyTarget, target.text());
    stored.setValue(keyBaud, settings.baudRate);
    stored.setValue(keyParity, rvx::bus::parityName(settings.parity));
}

QString BusConnection::text() const {
    rvx::bus::Line line;
    line.baudRate = settings.baudRate;
    line.dataBits = rvx::bus::busDataBits;
    line.parity = settings.parity;
    line.stopBits = rvx::bus::busStopBits;
    return target.text() + QStringLiteral(" at ") + rvx::bus::lineText(line);
}

BusConnectionDialog::BusConnectionDialog(const std::optional<BusConnection>& current,
                                         QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("BusConnectionDialog"));
    setWindowTitle(QStringLiteral("Bus connection"));

    optSerial = new QRadioButton(QStringLiteral("&Serial port"), this);
    optSerial->setObjectName(QStringLiteral("optSerial"));
    optSerial->setAccessibleName(QStringLiteral("Send through a serial port"));
    cboPort = new QComboBox(this);
    cboPort->setObjectName(QStringLiteral("cboPort"));
    cboPort->setEditable(true);  // any device path may be typed in
    cboPort->setAccessibleName(QStringLiteral("Serial port"));
    cboPort->setMinimumContentsLength(56);  // room for a /dev/serial/by-id/ path
    auto* refresh = new QPushButton(QStringLiteral("&Refresh"), this);
    refresh->setObjectName(QStringLiteral("cmdRefresh"));
    refresh->setAccessibleName(QStringLiteral("Look for serial ports again"));

    optBridge = new QRadioButton(QStringLiteral("&TCP serial bridge"), this);
    optBridge->setObjectName(QStringLiteral("optBridge"));
    optBridge->setAccessibleName(QStringLiteral("Send through a TCP serial bridge"));
    txtHost = new QLineEdit(this);
    txtHost->setObjectName(QStringLiteral("txtHost"));
    txtHost->setAccessibleName(QStringLiteral("Bridge host"));
    txtHost->setPlaceholderText(QStringLiteral("host name or address"));
    spnPort = new QSpinBox(this);
    spnPort->setObjectName(QStringLiteral("spnPort"));
    spnPort->setAccessibleName(QStringLiteral("Bridge TCP port"));
    spnPort->setRange(1, 65535);
    spnPort->setValue(4001);

    cboBaud = new QComboBox(this);
    cboBaud->setObjectName(QStringLiteral("cboBaud"));
    cboBaud->setAccessibleName(QStringLiteral("Baud rate"));
    cboBaud->setEditable(true);
    cboBaud->setValidator(new QIntValidator(1, 4000000, cboBaud));
    for (const int rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
        cboBaud->addItem(QString::number(rate));
    }
    cboParity = new QComboBox(this);
    cboParity->setObjectName(QStringLiteral("cboParity"));
    cboParity->setAccessibleName(QStringLiteral("Parity"));
    for (const auto parity : rvx::bus::parities) {
        const QString name = rvx::bus::parityName(parity);
        cboParity->addItem(name.left(1).toUpper() + name.mid(1), name);
    }

    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    lblProblem->setStyleSheet(QStringLiteral("color: #b00020"));
    lblProblem->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));

    // Laid out: where to, then the line, then what is wrong and the buttons.
    auto* where = new QGroupBox(QStringLiteral("Send to"), this);
    auto* whereLayout = new QFormLayout(where);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(cboPort, 1);
    portRow->addWidget(refresh);
    whereLayout->addRow(optSerial);
    whereLayout->addRow(QStringLiteral("Port:"), portRow);
    whereLayout->addRow(optBridge);
    auto* bridgeRow = new QHBoxLayout;
    bridgeRow->addWidget(txtHost, 1);
    bridgeRow->addWidget(new QLabel(QStringLiteral("TCP port:"), this));
    bridgeRow->addWidget(spnPort);
    whereLayout->addRow(QStringLiteral("Host:"), bridgeRow);

    auto* line =
        new QGroupBox(QStringLiteral("Line (the bus runs at 4800 baud, odd parity)"), this);
    auto* lineLayout = new QFormLayout(line);
    lineLayout->addRow(QStringLiteral("&Baud rate:"), cboBaud);
    lineLayout->addRow(QStringLiteral("&Parity:"), cboParity);
    lineLayout->addRow(
        new QLabel(QStringLiteral("8 data bits, 1 stop bit, no flow control"), this));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(where);
    layout->addWidget(line);
    layout->addWidget(lblProblem);
    layout->addWidget(buttons);

    // The fields of the kind not chosen are off.
    connect(optSerial, &QRadioButton::toggled, this, &BusConnectionDialog::showKind);
    connect(refresh, &QPushButton::clicked, this, [this] { fillPorts(cboPort->currentText()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &BusConnectionDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &BusConnectionDialog::reject);

    const BusConnection start = current.value_or(BusConnection{});
    const bool bridge = current && current->target.kind == rvx::bus::Target::Kind::Tcp;
    (bridge ? optBridge : optSerial)->setChecked(true);
    fillPorts(current && !bridge ? current->target.device : QString());
    if (bridge) {
        txtHost->setText(current->target.host);
        spnPort->setValue(current->target.port);
    }
    cboBaud->setCurrentText(QString::number(start.settings.baudRate));
    cboParity->setCurrentIndex(cboParity->findData(rvx::bus::parityName(start.settings.parity)));
    showKind();
}

void BusConnectionDialog::fillPorts(const QString& keep) {
    cboPort->clear();
    for (const rvx::bus::PortInfo& port : rvx::bus::listPorts()) {
        QString label = port.systemLocation;
        if (!port.description.isEmpty()) {
            label += QStringLiteral(" \u2014 ") + port.description;
        }
        cboPort->addItem(label, port.systemLocation);
    }
    if (!keep.isEmpty()) {
        const int found = cboPort->findData(keep);
        if (found >= 0) {
            cboPort->setCurrentIndex(found);
        } else {
            cboPort->setEditText(keep);
        }
    }
}

void BusConnectionDialog::showKind() {
    const bool serial = optSerial->isChecked();
    cboPort->setEnabled(serial);
    txtHost->setEnabled(!serial);
    spnPort->setEnabled(!serial);
}

std::optional<BusConnection> BusConnectionDialog::connection(QString* problem) const {
    // A port picked from the list stands for its system location; a typed text for itself.
    QString text;
    if (optSerial->isChecked()) {
        const int picked = cboPort->findText(cboPort->currentText());
        text = picked >= 0 ? cboPort->itemData(picked).toString() : cboPort->currentText();
    } else {
        QString host = txtHost->text().trimmed();
        if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('['))) {
            host = QLatin1Char('[') + host + QLatin1Char(']');  // an IPv6 address
        }
        text =
            QStringLiteral("tcp://") + host + QLatin1Char(':') + QString::number(spnPort->value());
    }
    const auto reading = rvx::bus::readTarget(text);
    if (!reading.target) {
        if (problem != nullptr) {
            *problem = reading.problem;
        }
        return std::nullopt;
    }
    bool ok = false;
    const int baud = cboBaud->currentText().toInt(&ok);
    if (!ok || baud <= 0) {
        if (problem != nullptr) {
            *problem = QStringLiteral("The baud rate must be a whole number of bits a second.");
        }
        return std::nullopt;
    }
    BusConnection chosen{*reading.target, {}};
    chosen.settings.baudRate = baud;
    chosen.settings.parity =
        rvx::bus::readParity(cboParity->currentData().toString()).value_or(rvx::bus::Parity::Odd);
    return chosen;
}

void BusConnectionDialog::accept() {
    QString problem;
    if (const auto chosen = connection(&problem)) {
        chosen->save();
        QDialog::accept();
        return;
    }
    lblProblem->setText(problem);
    lblProblem->show();
}
