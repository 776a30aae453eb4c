#include "player/shell/CSonavelProView.h"

#include <QPainter>

CSonavelProView::CSonavelProView(const QString& strDocTitle, QWidget* pParent)
    : QWidget(pParent), m_strDocTitle(strDocTitle)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void CSonavelProView::OnDraw(QPainter&) {}

void CSonavelProView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    OnDraw(painter);
}
