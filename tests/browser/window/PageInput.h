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

// Clicks the middle of the element with id strId, as the user would.
inline void ClickElement(QWebEngineView* pView, const QString& strId)
{
    const QVariantList centre =
        PageScriptResult(pView, QStringLiteral("(function () { const r = document.getElementById('%1')"
                                               ".getBoundingClientRect(); return [r.left + r.width / 2, "
                                               "r.top + r.height / 2]; })()")
                                    .arg(strId))
            .toList();
    QVERIFY2(centre.size() == 2, qPrintable(strId));
    const double dZoom = pView->zoomFactor();
    const QPoint point(int(centre[0].toDouble() * dZoom), int(centre[1].toDouble() * dZoom));
    QWidget* pTarget = pView->focusProxy() ? pView->focusProxy() : pView;
    QTest::mouseClick(pTarget, Qt::LeftButton, Qt::NoModifier, point);
}
