#include "send/bus_connection.h"

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
#include <algorithm>

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
    return target.text() + QStringLiteral(" at ") + lineText();
}

QString BusConnection::lineText() const {
    rvx::bus::Line line;
    line.baudRate = settings.baudRate;
    line.dataBits = rvx::bus::busDataBits;
    line.parity = settings.parity;
    line.stopBits = rvx::bus::busStopBits;
    return rvx::bus::lineText(line);
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
    // A typed path stays text: Enter must not turn it into an entry that stands for no port.
    cboPort->setInsertPolicy(QComboBox::NoInsert);
    cboPort->setAccessibleName(QStringLiteral("Port"));
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
    spnPort->setAccessibleDescription(QStringLiteral("TCP port of the bridge"));
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
        cboParity->addItem(name.left(1).toUpper() + name.mid(1), QVariant::fromValue(parity));
    }

    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    lblProblem->setStyleSheet(QStringLiteral("color: #b00020"));
    lblProblem->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));

    // Laid out: where to, then the line, then what is wrong and the buttons.
    grpWhere = new QGroupBox(QStringLiteral("Send to"), this);
    grpWhere->setObjectName(QStringLiteral("grpWhere"));
    auto* whereLayout = new QFormLayout(grpWhere);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(cboPort, 1);
    portRow->addWidget(refresh);
    auto* portLabel = new QLabel(QStringLiteral("P&ort:"), this);
    portLabel->setObjectName(QStringLiteral("lblPort"));
    portLabel->setBuddy(cboPort);
    whereLayout->addRow(optSerial);
    whereLayout->addRow(portLabel, portRow);
    whereLayout->addRow(optBridge);
    auto* bridgeRow = new QHBoxLayout;
    bridgeRow->addWidget(txtHost, 1);
    auto* tcpPortLabel = new QLabel(QStringLiteral("TCP port:"), this);
    tcpPortLabel->setBuddy(spnPort);
    bridgeRow->addWidget(tcpPortLabel);
    bridgeRow->addWidget(spnPort);
    auto* hostLabel = new QLabel(QStringLiteral("&Host:"), this);
    hostLabel->setBuddy(txtHost);
    whereLayout->addRow(hostLabel, bridgeRow);

    auto* line =
        new QGroupBox(QStringLiteral("Line (the bus runs at 4800 baud, odd parity)"), this);
    auto* lineLayout = new QFormLayout(line);
    lineLayout->addRow(QStringLiteral("&Baud rate:"), cboBaud);
    lineLayout->addRow(QStringLiteral("&Parity:"), cboParity);
    lblLine = new QLabel(this);
    lblLine->setObjectName(QStringLiteral("lblLine"));
    lblLine->setWordWrap(true);
    lineLayout->addRow(lblLine);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grpWhere);
    layout->addWidget(line);
    layout->addWidget(lblProblem);
    layout->addWidget(buttons);

    // The fields of the kind not chosen are off.
    connect(optSerial, &QRadioButton::toggled, this, &BusConnectionDialog::showKind);
    connect(refresh, &QPushButton::clicked, this, [this] { fillPorts(portPath()); });
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
    cboParity->setCurrentIndex(cboParity->findData(QVariant::fromValue(start.settings.parity)));
    showKind();
}

void BusConnectionDialog::fillPorts(const QString& keep) {
    cboPort->clear();
    int adapter = -1;  // the first USB serial adapter
    for (const rvx::bus::PortInfo& port : rvx::bus::listPorts()) {
        QString label = port.systemLocation;
        if (!port.description.isEmpty()) {
            label += QStringLiteral(" \u2014 ") + port.description;
        }
        // An adapter stands for its by-id link, which keeps naming it when it is plugged in
        // again elsewhere.
        const QString path = port.byIdLink.isEmpty() ? port.systemLocation : port.byIdLink;
        cboPort->addItem(label, path);
        if (adapter < 0 && port.usbAdapter()) {
            adapter = cboPort->count() - 1;
        }
    }
    if (!keep.isEmpty()) {
        int found = cboPort->findData(keep);
        for (int i = 0; found < 0 && i < cboPort->count(); ++i) {
            if (cboPort->itemText(i).section(QStringLiteral(" \u2014 "), 0, 0) == keep) {
                found = i;  // the same port, remembered by its system location
            }
        }
        if (found >= 0) {
            cboPort->setCurrentIndex(found);
        } else {
            cboPort->setCurrentIndex(-1);
            cboPort->setEditText(keep);
        }
        return;
    }
    cboPort->setCurrentIndex(adapter);
    if (adapter < 0) {
        cboPort->setEditText(QString());
    }
}

void BusConnectionDialog::showKind() {
    const bool serial = optSerial->isChecked();
    cboPort->setEnabled(serial);
    txtHost->setEnabled(!serial);
    spnPort->setEnabled(!serial);
    // A bridge drives its own line; the baud rate and parity here do not reach it.
    cboBaud->setEnabled(serial);
    cboParity->setEnabled(serial);
    lblLine->setText(serial ? QStringLiteral("8 data bits, 1 stop bit, no flow control")
                            : QStringLiteral("The bridge's own line settings apply: set the "
                                             "baud rate and parity on the bridge."));
}

QString BusConnectionDialog::portPath() const {
    // An entry of the list stands for its port while its text is shown unchanged; any other
    // text, typed or pasted, is a path of its own.
    const int index = cboPort->currentIndex();
    if (index >= 0 && cboPort->itemText(index) == cboPort->currentText()) {
        return cboPort->itemData(index).toString();
    }
    return cboPort->currentText().trimmed();
}

std::optional<BusConnection> BusConnectionDialog::connection(QString* problem) const {
    const auto refuse = [problem](const QString& why) {
        if (problem != nullptr) {
            *problem = why;
        }
        return std::nullopt;
    };
    rvx::bus::Target target;
    if (optSerial->isChecked()) {
        const QString path = portPath();
        if (path.isEmpty()) {
            return refuse(QStringLiteral("Choose a serial port or type its device path."));
        }
        const auto reading = rvx::bus::readTarget(path);
        if (!reading.target || reading.target->kind != rvx::bus::Target::Kind::Serial) {
            return refuse(reading.target ? QStringLiteral("\"%1\" is no serial device.").arg(path)
                                         : reading.problem);
        }
        target = *reading.target;
    } else {
        QString host = txtHost->text().trimmed();
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
            host = host.mid(1, host.size() - 2);  // an IPv6 address written in brackets
        }
        const bool blank = std::any_of(host.cbegin(), host.cend(), [](QChar c) {
            return c.isSpace() || c.category() == QChar::Other_Control;
        });
        if (host.isEmpty() || blank || host.contains(QLatin1Char('/'))) {
            return refuse(
                QStringLiteral("Give the bridge's host name or address, without "
                               "blanks or slashes."));
        }
        target.kind = rvx::bus::Target::Kind::Tcp;
        target.host = host;
        target.port = static_cast<quint16>(spnPort->value());
    }
    bool ok = false;
    const int baud = cboBaud->currentText().toInt(&ok);
    if (!ok || baud <= 0) {
        if (problem != nullptr) {
            *problem = QStringLiteral("The baud rate must be a whole number of bits a second.");
        }
        return std::nullopt;
    }
    BusConnection chosen{target, {}};
    chosen.settings.baudRate = baud;
    chosen.settings.parity = cboParity->currentData().value<rvx::bus::Parity>();
    return chosen;
}

void BusConnectionDialog::askForExport(const QString& fileName, const QString& serialOnlyWhy) {
    remember_ = false;
    setWindowTitle(QStringLiteral("Export: ") + fileName);
    grpWhere->setTitle(QStringLiteral("Where the platform sends the frames"));
    // The path is the one on the platform's machine, which may not be this one.
    auto* purpose = new QLabel(
        QStringLiteral("The %1 sends the frames of the selected motors through a serial port "
                       "of the machine it runs on%2. A port path is written as that machine "
                       "names it.")
            .arg(fileName,
                 serialOnlyWhy.isEmpty() ? QStringLiteral(", or a TCP serial bridge") : QString()),
        this);
    purpose->setObjectName(QStringLiteral("lblPurpose"));
    purpose->setWordWrap(true);
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, purpose);
    if (auto* ok =
            findChild<QDialogButtonBox*>(QStringLiteral("buttons"))->button(QDialogButtonBox::Ok)) {
        ok->setText(QStringLiteral("&Export\u2026"));
    }
    optSerial->setAccessibleName(QStringLiteral("The platform sends through a serial port"));
    optBridge->setAccessibleName(QStringLiteral("The platform sends through a TCP serial bridge"));
    if (!serialOnlyWhy.isEmpty()) {
        optSerial->setChecked(true);
        optBridge->setEnabled(false);
        optBridge->setToolTip(serialOnlyWhy);
    }
}

void BusConnectionDialog::accept() {
    QString problem;
    if (const auto chosen = connection(&problem)) {
        if (remember_) {
            chosen->save();
        }
        QDialog::accept();
        return;
    }
    lblProblem->setText(problem);
    lblProblem->show();
}
