#include "send/frmSendLog.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "controls.h"
#include "rvx/frame_report.h"
#include "save_whole.h"
#include "send/motor_sender.h"
#include "send/send_record.h"
#include "text.h"

namespace {

enum Column : int { Time, Target, Command, Address, FrameBytes, Result, ColumnCount };

QStringList cellsOf(const SendRecord& record) {
    const QDateTime local = record.time.toLocalTime();
    return {ui::fromView(
                rvx::clockTimeText(local.toMSecsSinceEpoch() + 1000LL * local.offsetFromUtc())),
            record.target + (record.bridge ? QString() : QStringLiteral(", ") + record.line),
            record.command(),
            record.addressed(),
            record.frameText(),
            record.result()};
}

}  // namespace

frmSendLog::frmSendLog(const MotorSender& sender) : sender_(sender) {
    setObjectName(QStringLiteral("frmSendLog"));
    setWindowTitle(QStringLiteral("Sent frames"));
    setWindowIcon(ui::applicationIcon());

    tblSends = new QTableWidget(0, ColumnCount, this);
    tblSends->setObjectName(QStringLiteral("tblSends"));
    tblSends->setAccessibleName(QStringLiteral("Sent frames"));
    tblSends->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Target"),
                                         QStringLiteral("Command"), QStringLiteral("Address"),
                                         QStringLiteral("Frame"), QStringLiteral("Result")});
    tblSends->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblSends->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblSends->verticalHeader()->hide();
    tblSends->horizontalHeader()->setStretchLastSection(true);
    tblSends->setWordWrap(false);

    cmdCopy = new QPushButton(QStringLiteral("&Copy as text"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdSave = new QPushButton(QStringLiteral("&Save as JSON Lines\u2026"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdClose = new QPushButton(QStringLiteral("C&lose"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    lblSaved = new QLabel(this);
    lblSaved->setObjectName(QStringLiteral("lblSaved"));
    lblSaved->setAccessibleDescription(QStringLiteral("Status of saving"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdSave);
    buttons->addWidget(lblSaved, 1);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tblSends, 1);
    layout->addLayout(buttons);
    resize(900, 260);

    connect(cmdCopy, &QPushButton::clicked, this, &frmSendLog::copyText);
    connect(cmdSave, &QPushButton::clicked, this, &frmSendLog::askWhereToSave);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    // A send that starts adds a row; its end changes that row.
    connect(&sender_, &MotorSender::changed, this,
            [this](const SendRecord&, int row) { showRecord(row); });
    for (int row = 0; row < static_cast<int>(sender_.records().size()); ++row) {
        showRecord(row);
    }
}

void frmSendLog::openWindow() {
    QWidget::show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void frmSendLog::showRecord(int row) {
    if (row < 0 || row >= static_cast<int>(sender_.records().size())) {
        return;
    }
    while (tblSends->rowCount() <= row) {
        tblSends->insertRow(tblSends->rowCount());
    }
    const QStringList cells = cellsOf(sender_.records()[row]);
    for (int column = 0; column < ColumnCount; ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        item->setToolTip(cells[column]);  // a long reason is cut in its column
        tblSends->setItem(row, column, item);
    }
    tblSends->resizeColumnsToContents();
    tblSends->scrollToBottom();
}

QString frmSendLog::text() const {
    QString text = QStringLiteral("time\ttarget\tcommand\taddress\tframe\tresult\n");
    for (const SendRecord& record : sender_.records()) {
        text += cellsOf(record).join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

QByteArray frmSendLog::jsonLines() const {
    QByteArray lines;
    for (const SendRecord& record : sender_.records()) {
        lines += record.jsonLine() + '\n';
    }
    return lines;
}

void frmSendLog::copyText() const {
    QGuiApplication::clipboard()->setText(text());
}

bool frmSendLog::saveTo(const QString& path, QString* problem) const {
    QString why;
    const bool whole = saveWhole(path, jsonLines(), &why);
    if (!whole && problem != nullptr) {
        // The reason alone, as this window has always given it.
        *problem = why.mid(path.size() + 2);
    }
    return whole;
}

void frmSendLog::askWhereToSave() {
    auto* dialog = new QFileDialog(this, QStringLiteral("Save sent frames"), QString(),
                                   QStringLiteral("JSON Lines (*.jsonl);;All files (*)"));
    dialog->setObjectName(QStringLiteral("saveSendLog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("jsonl"));
    dialog->selectFile(QStringLiteral("sent-frames.jsonl"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
        QString problem;
        if (saveTo(path, &problem)) {
            lblSaved->setText(QStringLiteral("Saved to ") + path);
            emit saved(path);
            return;
        }
        lblSaved->setText(QStringLiteral("Not saved"));
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Not saved"),
                                    QStringLiteral("The sent frames were not saved to %1; "
                                                   "nothing there was changed.")
                                        .arg(path),
                                    QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("saveFailed"));
        box->setInformativeText(problem);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
    dialog->open();
}
