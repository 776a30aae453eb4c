#pragma once
// The user's input to a page shown by the real engine: mouse clicks and keys
// go to the view's render widget as real input events, so the page sees them
// as the user's, not as its own script's.
#include "tests/support/WaitFor.h"

#include <QPoint>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <optional>

// The value of a script run in the page, once the engine has answered.
inline QVariant PageScriptResult(QWebEngineView* pView, const QString& strScript)
{
    std::optional<QVariant> result;
    pView->page()->runJavaScript(strScript, [&result](const QVariant& value) { result = value; });
    testsupport::WaitFor([&result] { return result.has_value(); }, 60000);
    return result.value_or(QVariant());
}

// Clicks the middle of the element strElement (a script expression) names,
// scrolled into view first, as the user would.
inline void ClickSelected(QWebEngineView* pView, const QString& strElement)
{
    const QVariantList centre =
        PageScriptResult(pView, QStringLiteral("(function () { const e = %1; e.scrollIntoView({block: 'center'}); "
                                               "const r = e.getBoundingClientRect(); "
                                               "return [r.left + r.width / 2, r.top + r.height / 2]; })()")
                                    .arg(strElement))
            .toList();
    QVERIFY2(centre.size() == 2, qPrintable(strElement));
    const double dZoom = pView->zoomFactor();
    const QPoint point(int(centre[0].toDouble() * dZoom), int(centre[1].toDouble() * dZoom));
    QWidget* pTarget = pView->focusProxy() ? pView->focusProxy() : pView;
    QTest::mouseClick(pTarget, Qt::LeftButton, Qt::NoModifier, point);
}

// Clicks the element with id strId.
inline void ClickElement(QWebEngineView* pView, const QString& strId)
{
    ClickSelected(pView, QStringLiteral("document.getElementById('%1')").arg(strId));
}
