#include "screens/IconCatalog.h"

#include "client/Logging.h"

#include <QFontDatabase>
#include <algorithm>
#include <iterator>

namespace {

struct Symbol
{
    QStringView name;
    char32_t codepoint;
};

// Sorted by name for binary search. Filled and outlined variants share a glyph where the font
// has only one; the tab bar tells them apart by colour.
constexpr Symbol kSymbols[] = {
    {u"arrow.clockwise", 0xF450}, // mdi-refresh
    {u"arrow.down.right.and.arrow.up.left", 0xF615}, // mdi-arrow-compress
    {u"arrow.up.left.and.arrow.down.right", 0xF616}, // mdi-arrow-expand
    {u"arrowtriangle.left.fill", 0xF35E}, // mdi-menu-left
    {u"arrowtriangle.right.fill", 0xF35F}, // mdi-menu-right
    {u"backward.end", 0xF4AE}, // mdi-skip-previous
    {u"bolt", 0xF241}, // mdi-flash
    {u"bolt.fill", 0xF241}, // mdi-flash
    {u"camera.aperture", 0xF104}, // mdi-camera-iris
    {u"camera.fill", 0xF100}, // mdi-camera
    {u"chart.line.uptrend.xyaxis", 0xF12A}, // mdi-chart-line
    {u"checkmark", 0xF12C}, // mdi-check
    {u"checkmark.circle", 0xF5E1}, // mdi-check-circle-outline
    {u"chevron", 0xF141}, // mdi-chevron-left
    {u"chevron.down", 0xF140}, // mdi-chevron-down
    {u"chevron.left", 0xF141}, // mdi-chevron-left
    {u"chevron.left.2", 0xF13D}, // mdi-chevron-double-left
    {u"chevron.right", 0xF142}, // mdi-chevron-right
    {u"chevron.right.2", 0xF13E}, // mdi-chevron-double-right
    {u"chevron.up", 0xF143}, // mdi-chevron-up
    {u"circle", 0xF130}, // mdi-checkbox-blank-circle-outline
    {u"circle.fill", 0xF12F}, // mdi-checkbox-blank-circle
    {u"clock.arrow.circlepath", 0xF2DA}, // mdi-history
    {u"cpu", 0xF35B}, // mdi-memory
    {u"doc.on.doc", 0xF18F}, // mdi-content-copy
    {u"ellipsis", 0xF1D8}, // mdi-dots-horizontal
    {u"ellipsis.circle", 0xF1D8}, // mdi-dots-horizontal
    {u"exclamationmark.triangle", 0xF02A}, // mdi-alert-outline
    {u"exclamationmark.triangle.fill", 0xF026}, // mdi-alert
    {u"eye", 0xF208}, // mdi-eye
    {u"eye.slash", 0xF209}, // mdi-eye-off
    {u"film.stack", 0xF230}, // mdi-filmstrip
    {u"forward.end", 0xF4AD}, // mdi-skip-next
    {u"gearshape", 0xF493}, // mdi-settings
    {u"gearshape.fill", 0xF493}, // mdi-settings
    {u"globe", 0xF59F}, // mdi-web
    {u"gobackward.10", 0xF45F}, // mdi-rewind
    {u"goforward.10", 0xF211}, // mdi-fast-forward
    {u"hourglass", 0xF51F}, // mdi-timer-sand
    {u"house", 0xF2DC}, // mdi-home
    {u"house.fill", 0xF2DC}, // mdi-home
    {u"info.circle", 0xF2FD}, // mdi-information-outline
    {u"internaldrive", 0xF2CA}, // mdi-harddisk
    {u"line.3.horizontal", 0xF35C}, // mdi-menu
    {u"lock", 0xF341}, // mdi-lock-outline
    {u"macwindow.badge.plus", 0xF3CC}, // mdi-open-in-new
    {u"magnifyingglass", 0xF349}, // mdi-magnify
    {u"network", 0xF317}, // mdi-lan
    {u"pause.fill", 0xF3E4}, // mdi-pause
    {u"pencil", 0xF3EB}, // mdi-pencil
    {u"person", 0xF013}, // mdi-account-outline
    {u"photo", 0xF2E9}, // mdi-image
    {u"play.fill", 0xF40A}, // mdi-play
    {u"play.rectangle", 0xF40B}, // mdi-play-box-outline
    {u"plus", 0xF415}, // mdi-plus
    {u"record.circle", 0xF43E}, // mdi-radiobox-marked
    {u"rectangle.dashed", 0xF489}, // mdi-selection
    {u"rectangle.dashed.badge.record", 0xF562}, // mdi-vector-selection
    {u"rectangle.portrait.and.arrow.right", 0xF343}, // mdi-logout
    {u"server.rack", 0xF48B}, // mdi-server
    {u"speaker.slash.fill", 0xF581}, // mdi-volume-off
    {u"speaker.wave.2.fill", 0xF57E}, // mdi-volume-high
    {u"square.and.arrow.down.fill", 0xF1DA}, // mdi-download
    {u"star", 0xF4D2}, // mdi-star-outline
    {u"star.fill", 0xF4CE}, // mdi-star
    {u"trash", 0xF1C0}, // mdi-delete
    {u"video", 0xF567}, // mdi-video
    {u"video.fill", 0xF567}, // mdi-video
    {u"video.slash", 0xF568}, // mdi-video-off
    {u"video.slash.fill", 0xF568}, // mdi-video-off
    {u"wifi", 0xF5A9}, // mdi-wifi
    {u"xmark", 0xF156}, // mdi-close
    {u"xmark.circle.fill", 0xF159}, // mdi-close-circle
    {u"xmark.octagon.fill", 0xF15C}, // mdi-close-octagon
};

const QString kFontResource = QStringLiteral(":/Kestrova/fonts/materialdesignicons.ttf");

} // namespace

IconCatalog::IconCatalog(QObject *parent) : QObject(parent)
{
    loadFont();
}

QString IconCatalog::loadFont()
{
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(kFontResource);
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty()) {
            qCWarning(lcScreens) << "icon font missing from the resources";
            return QString();
        }
        return families.first();
    }();
    return family;
}

QString IconCatalog::fontFamily() const
{
    return loadFont();
}

char32_t IconCatalog::codepoint(QStringView symbolName)
{
    const auto byName = [](const Symbol &s, QStringView name) { return s.name < name; };
    const auto it = std::lower_bound(std::begin(kSymbols), std::end(kSymbols), symbolName, byName);
    if (it == std::end(kSymbols) || it->name != symbolName)
        return 0;
    return it->codepoint;
}

QStringList IconCatalog::symbolNames()
{
    QStringList names;
    for (const Symbol &s : kSymbols)
        names << s.name.toString();
    return names;
}

QString IconCatalog::glyph(const QString &symbolName) const
{
    const char32_t cp = codepoint(symbolName);
    if (cp == 0) {
        if (!symbolName.isEmpty())
            qCWarning(lcScreens) << "no icon for symbol" << symbolName;
        return QString();
    }
    return QString::fromUcs4(&cp, 1);
}
