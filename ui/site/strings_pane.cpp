#include "site/strings_pane.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "controls.h"
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
    ui::speakAs(cboNotation, ui::Spoken::Chooser);
    connect(cboNotation, &QComboBox::currentIndexChanged, this, &SiteStringsPane::notationChanged);
    cmdCopyAll = new QPushButton(QStringLiteral("&Copy all"), this);
    cmdCopyAll->setObjectName(QStringLiteral("cmdCopyAll"));
    connect(cmdCopyAll, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(model_->text()); });
    mnuExport = new QMenu(QStringLiteral("&Export for a platform"), this);
    mnuExport->setObjectName(QStringLiteral("mnuExport"));
    mnuExport->menuAction()->setObjectName(QStringLiteral("actExport"));
    for (const rvx::SiteExportInfo& info : rvx::siteExportCatalogue) {
        QAction* action =
            mnuExport->addAction(platformTitle(info.kind) + QStringLiteral("\u2026"), this,
                                 [this, kind = info.kind] { emit exportAsked(kind); });
        action->setObjectName(QStringLiteral("actExport_") + fromView(info.name));
    }
    cmdExport = new QPushButton(QStringLiteral("E&xport\u2026"), this);
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
        saveButtons_.append(button);
        bar->addWidget(button);
        QWidget::setTabOrder(button, cmdExport);  // Tab follows the bar: Export comes last
    }
    bar->addWidget(cmdExport);
    model_ = new SiteStringsModel(this);
    lstStrings = new QListView(this);
    lstStrings->setObjectName(QStringLiteral("lstStrings"));
    lstStrings->setAccessibleName(QStringLiteral("Strings of the selected motors"));
    lstStrings->setModel(model_);
    // Every motor has as many strings: one row's size is every row's.
    lstStrings->setUniformItemSizes(true);
    lstStrings->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstStrings->setSelectionMode(QAbstractItemView::SingleSelection);
    lstStrings->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    lstStrings->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    lstStrings->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(lstStrings, 1);
}

rvx::Notation SiteStringsPane::notation() const {
    return static_cast<rvx::Notation>(std::max(0, cboNotation->currentIndex()));
}

void SiteStringsPane::showStrings(const QList<rvx::Motor>& list, QList<int> rows,
                                  const SiteStrings& strings) {
    model_->show(list, std::move(rows), strings);
}

void SiteStringsModel::show(const QList<rvx::Motor>& list, QList<int> rows,
                            const SiteStrings& strings) {
    beginResetModel();
    list_ = &list;
    rows_ = std::move(rows);
    strings_ = strings;
    endResetModel();
}

int SiteStringsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QString SiteStringsModel::motorText(int row) const {
    if (list_ == nullptr || row < 0 || row >= rows_.size() || rows_[row] >= list_->size()) {
        return {};
    }
    return stringsText(std::span(&(*list_)[rows_[row]], 1), strings_);
}

QVariant SiteStringsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) {
        return {};
    }
    QString text = motorText(index.row());
    text.chop(1);  // the line break after its last string
    return text;
}

QString SiteStringsModel::text() const {
    QString text;
    for (int row = 0; row < rowCount(); ++row) {
        text += motorText(row);
    }
    return text;
}

void SiteStringsPane::setChosen(bool chosen) {
    for (QPushButton* button : saveButtons_) {
        button->setEnabled(chosen);
    }
    cmdExport->setEnabled(chosen);
    mnuExport->menuAction()->setEnabled(chosen);
}
