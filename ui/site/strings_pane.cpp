#include "site/strings_pane.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "site/site_exports.h"
#include "text.h"

using ui::fromView;

SiteStringsPane::SiteStringsPane(QWidget* parent) : QWidget(parent) {
    cboNotation = new QComboBox(this);
    cboNotation->setObjectName(QStringLiteral("cboNotation"));
    for (const auto& info : rvx::notationCatalogue) {
        cboNotation->addItem(fromView(info.name));
    }
    cboNotation->setAccessibleName(QStringLiteral("Notation of the strings"));
    connect(cboNotation, &QComboBox::currentIndexChanged, this, &SiteStringsPane::notationChanged);
    cmdCopyAll = new QPushButton(QStringLiteral("&Copy all"), this);
    cmdCopyAll->setObjectName(QStringLiteral("cmdCopyAll"));
    connect(cmdCopyAll, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(txtStrings->toPlainText()); });
    mnuExport = new QMenu(QStringLiteral("&Export for a platform"), this);
    mnuExport->setObjectName(QStringLiteral("mnuExport"));
    mnuExport->menuAction()->setObjectName(QStringLiteral("actExport"));
    for (const rvx::SiteExportInfo& info : rvx::siteExportCatalogue) {
        QAction* action =
            mnuExport->addAction(platformTitle(info.kind) + QStringLiteral("\u2026"), this,
                                 [this, kind = info.kind] { emit exportAsked(kind); });
        action->setObjectName(QStringLiteral("actExport_") + fromView(info.name));
    }
    cmdExport = new QPushButton(QStringLiteral("&Export\u2026"), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdExport->setToolTip(
        QStringLiteral("The selected motors as a file that a platform imports: a Node-RED flow, "
                       "a Home Assistant package, openHAB things and items"));
    cmdExport->setMenu(mnuExport);
    auto* notationLabel = new QLabel(QStringLiteral("N&otation:"), this);
    notationLabel->setBuddy(cboNotation);

    auto* bar = new QHBoxLayout;
    bar->addWidget(notationLabel);
    bar->addWidget(cboNotation);
    bar->addStretch(1);
    bar->addWidget(cmdCopyAll);
    for (const bool json : {false, true}) {
        auto* button = new QPushButton(
            json ? QStringLiteral("Save as &JSON\u2026") : QStringLiteral("Save as CS&V\u2026"),
            this);
        button->setObjectName(json ? QStringLiteral("cmdSaveJson") : QStringLiteral("cmdSaveCsv"));
        connect(button, &QPushButton::clicked, this, [this, json] { emit saveAsked(json); });
        bar->addWidget(button);
    }
    bar->addWidget(cmdExport);
    txtStrings = new QPlainTextEdit(this);
    txtStrings->setObjectName(QStringLiteral("txtStrings"));
    txtStrings->setReadOnly(true);
    txtStrings->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtStrings->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(txtStrings, 1);
}

rvx::Notation SiteStringsPane::notation() const {
    return static_cast<rvx::Notation>(std::max(0, cboNotation->currentIndex()));
}

void SiteStringsPane::showStrings(const QString& text) {
    txtStrings->setPlainText(text);
}

void SiteStringsPane::setChosen(bool chosen) {
    cmdExport->setEnabled(chosen);
    mnuExport->menuAction()->setEnabled(chosen);
}
