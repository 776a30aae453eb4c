#pragma once
// Real user input on a page: a mouse press and release where an element is
// shown, as a user's click (the engine treats it as a user gesture, which a
// script's click() is not). The test's own scripts run in a world of their own,
// which sees the page's document also where the page's scripts do not run.
#include "tests/support/WaitFor.h"

#include <QElapsedTimer>
#include <QTest>
#include <QVariant>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <memory>
#include <optional>

// The value of a script run in the page, once the engine has answered.
inline QVariant PageScriptResult(QWebEngineView* pView, const QString& strScript)
{
    std::optional<QVariant> result;
    pView->page()->runJavaScript(strScript, QWebEngineScript::ApplicationWorld,
                                 [&result](const QVariant& value) { result = value; });
    testsupport::WaitFor([&result] { return result.has_value(); });
    return result.value_or(QVariant());
}

// Clicks the centre of the element strElement (a script expression) once the
// page has shown its first picture (the engine ignores input to a page that has
// not painted yet), after scrolling it into view. False when the page has no such
// element or never answered.
inline bool ClickElement(QWebEngineView* pView, const QString& strElement)
{
    const QString strScript = QStringLiteral(
        "(function() { if (performance.getEntriesByType('paint').length == 0) return 'unpainted';"
        " const e = %1; if (!e) return 'none';"
        " e.scrollIntoView({block: 'center'}); const r = e.getBoundingClientRect();"
        " return [r.left + r.width / 2, r.top + r.height / 2]; })()").arg(strElement);
    QVariant centre = QStringLiteral("unpainted");
    QElapsedTimer timer;
    timer.start();
    while (centre == QStringLiteral("unpainted") && timer.elapsed() < testsupport::kEventBoundMs) {
        auto pAnswer = std::make_shared<QVariant>();
        pView->page()->runJavaScript(strScript, QWebEngineScript::ApplicationWorld, [pAnswer](const QVariant& result) {
            *pAnswer = result.isValid() ? result : QVariant(QStringLiteral("none"));
        });
        if (!testsupport::WaitFor([&] { return pAnswer->isValid(); }))
            return false;
        centre = *pAnswer;
    }
    const QVariantList xy = centre.toList();
    if (xy.size() != 2)
        return false;
    const double dZoom = pView->zoomFactor();
    const QPoint pt(qRound(xy[0].toDouble() * dZoom), qRound(xy[1].toDouble() * dZoom));
    QWidget* pTarget = pView->focusProxy() ? pView->focusProxy() : pView;
    QTest::mouseClick(pTarget, Qt::LeftButton, Qt::NoModifier, pt);
    return true;
}

inline bool ClickElementById(QWebEngineView* pView, const char* szId)
{
    return ClickElement(pView, QStringLiteral("document.getElementById('%1')").arg(QLatin1String(szId)));
}
