#include "player/analysis/window/CAnalysisPicture.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

// A picture to the reader, not an empty pane.
QAccessibleInterface* PictureAccessible(const QString& strClass, QObject* pObject)
{
    if (strClass == QLatin1String("CAnalysisPicture") && pObject && pObject->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(pObject), QAccessible::Graphic);
    return nullptr;
}

} // namespace

CAnalysisPicture::CAnalysisPicture(QWidget* pParent) : QWidget(pParent)
{
    static const bool bFactory = (QAccessible::installFactory(PictureAccessible), true);
    (void)bFactory;
    setAttribute(Qt::WA_TransparentForMouseEvents);
}
