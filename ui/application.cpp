// Reading an image the first time makes Qt load every image format plug-in to ask it whether
// it reads that format (four libraries here, Qt SVG and libjpeg among them): a few
// milliseconds of the start, for images the first paint does not show. So the first paint
// reads none through Qt's general image reading.
#include "application.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QIconEngine>
#include <QImageReader>
#include <QPixmap>
#include <QPixmapCache>
#include <QPointer>
#include <memory>

#include "controls.h"

namespace ui {

namespace {

// An icon of the style, read the first time it is drawn or measured; copies share it.
class DrawnLater : public QIconEngine {
public:
    DrawnLater(const QStyle* style, QStyle::StandardPixmap which)
        : later_(std::make_shared<Later>(QPointer<const QStyle>(style), which)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    QString iconName() override { return icon().name(); }
    // Not null before it is read: the style gives this icon on every platform.
    bool isNull() override { return later_->read && later_->icon.isNull(); }
    [[nodiscard]] QString key() const override { return QStringLiteral("DrawnLater"); }
    [[nodiscard]] QIconEngine* clone() const override { return new DrawnLater(*this); }

private:
    struct Later {
        Later(QPointer<const QStyle> from, QStyle::StandardPixmap what)
            : style(std::move(from)), which(what) {}
        QPointer<const QStyle> style;
        QStyle::StandardPixmap which;
        QIcon icon;
        bool read = false;
    };

    QIcon& icon() {
        if (!later_->read) {
            later_->read = true;
            if (later_->style != nullptr) {
                later_->icon = later_->style->standardIcon(later_->which);
            }
        }
        return later_->icon;
    }

    std::shared_ptr<Later> later_;
};

// QPixmap's key for a file in its cache: where QPixmap(fileName) looks before it reads.
template <typename T>
QString hexOf(T value) {
    static constexpr char digits[] = "0123456789abcdef";
    QString text;
    const auto* byte = reinterpret_cast<const unsigned char*>(&value);
    for (std::size_t k = 0; k < sizeof(T); ++k) {
        text += QLatin1Char(digits[byte[k] & 0xf]);
        text += QLatin1Char(digits[byte[k] >> 4]);
    }
    return text;
}

QString pixmapCacheKey(const QFileInfo& file) {
    return QStringLiteral("qt_pixmap") + file.absoluteFilePath() +
           hexOf(static_cast<uint>(file.lastModified().toSecsSinceEpoch())) +
           hexOf(static_cast<quint64>(file.size())) + hexOf(static_cast<uint>(0));
}

// Fusion draws each group box's frame from an image of Qt's own, read by QPixmap on the first
// paint. It is read here as the PNG it is, which asks no plug-in, and left in QPixmap's cache.
// Should the cache's key ever change, QPixmap reads the file itself as it always did.
void readGroupBoxFrame() {
    const QStyle* style = QApplication::style();
    if (const auto* proxy = qobject_cast<const QProxyStyle*>(style)) {
        style = proxy->baseStyle();
    }
    if (style->name().compare(QStringLiteral("fusion"), Qt::CaseInsensitive) != 0) {
        return;
    }
    const QFileInfo file(
        QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png"));
    const QString key = pixmapCacheKey(file);
    QPixmap cached;
    if (!file.exists() || QPixmapCache::find(key, &cached)) {
        return;
    }
    QImageReader reader(file.filePath(), "png");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (!image.isNull()) {
        QPixmapCache::insert(key, QPixmap::fromImage(image));
    }
}

}  // namespace

QIcon StartStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                               const QWidget* widget) const {
    // Without an option the icon depends on the application's layout direction alone, so it
    // can be asked for again without the widget once drawn.
    if (option == nullptr && (standardIcon == SP_ToolBarHorizontalExtensionButton ||
                              standardIcon == SP_ToolBarVerticalExtensionButton)) {
        return QIcon(new DrawnLater(baseStyle(), standardIcon));
    }
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}

void prepareApplication() {
    QApplication::setApplicationName(QStringLiteral("rvx-string-calculator"));
    QApplication::setApplicationVersion(QStringLiteral(RVX_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Velkor Systems"));
    QGuiApplication::setDesktopFileName(QStringLiteral(RVX_APP_ID));
    QApplication::setStyle(new StartStyle);
    // The windows' plain face as the application's font: a text field lays out its first
    // text in the application font, and one face loaded spares loading a second.
    QApplication::setFont(fontFor(FontStyle::Default));
    readGroupBoxFrame();
}

}  // namespace ui
