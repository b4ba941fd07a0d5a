#include "ui/stand_in_font.h"

#include <QFontDatabase>
#include <QStringList>

#ifdef TESSARO_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>

#include <future>
#include <system_error>
#endif

namespace ui {

namespace {

constexpr int kDesignPixelSize = 11;

#ifdef TESSARO_HAVE_FONTCONFIG
// Parsing fontconfig's files is most of what the first font costs; Qt's
// font database finds the configuration loaded once this is done.
std::future<void> &fontConfigurationLoaded()
{
    static std::future<void> loaded;
    return loaded;
}
#endif

QString designFamily()
{
    static const QString family = [] {
#ifdef TESSARO_HAVE_FONTCONFIG
        if (fontConfigurationLoaded().valid())
            fontConfigurationLoaded().wait();
#endif
        const QStringList available = QFontDatabase::families();
        for (const char *candidate : {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial"}) {
            if (available.contains(QLatin1String(candidate), Qt::CaseInsensitive))
                return QString::fromLatin1(candidate);
        }
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    return family;
}

}  // namespace

QFont designFont()
{
    QFont font(designFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kDesignPixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

bool startLoadingFontConfiguration()
{
#ifdef TESSARO_HAVE_FONTCONFIG
    if (fontConfigurationLoaded().valid())
        return true;
    try {
        fontConfigurationLoaded() = std::async(std::launch::async, [] { FcInit(); });
    } catch (const std::system_error &) {
        // No thread to be had (a process limit): the work is done here, later
        // than it could have been, but done.
        FcInit();
        return false;
    }
#endif
    return true;
}

QFont designBoldFont()
{
    QFont font = designFont();
    font.setWeight(QFont::Bold);
    return font;
}

}  // namespace ui
