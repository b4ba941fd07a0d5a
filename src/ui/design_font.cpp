#include "design_font.h"

#include <QFontDatabase>
#include <QStringList>

namespace ui {

namespace {

constexpr int kDesignPixelSize = 11;

QString designFamily()
{
    static const QString family = [] {
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

QFont designBoldFont()
{
    QFont font = designFont();
    font.setWeight(QFont::Bold);
    return font;
}

}  // namespace ui
