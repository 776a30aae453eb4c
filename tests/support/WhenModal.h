#pragma once
// Answers a modal dialog from inside its own event loop: fnAct runs on the
// next modal widget of type T once it is shown.
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace testsupport {

template <typename T>
void WhenModal(QObject* pContext, std::function<void(T*)> fnAct)
{
    auto* pTimer = new QTimer(pContext);
    pTimer->setInterval(20);
    QObject::connect(pTimer, &QTimer::timeout, pContext, [pTimer, fnAct] {
        if (T* pWidget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            pTimer->stop();
            pTimer->deleteLater();
            fnAct(pWidget);
        }
    });
    pTimer->start();
}

} // namespace testsupport
