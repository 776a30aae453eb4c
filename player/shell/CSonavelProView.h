#pragma once
// The document window's view. The player never keeps a document open, so the
// view of an empty document (File New) draws nothing, on screen or on paper.
//
// Lives on the UI thread; its Qt parent owns it, and it owns the widgets it makes.
#include <QWidget>

class QPainter;

class CSonavelProView : public QWidget {
    Q_OBJECT
public:
    explicit CSonavelProView(const QString& strDocTitle, QWidget* pParent = nullptr);
    void OnDraw(QPainter& painter);
    QString DocTitle() const { return m_strDocTitle; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QString m_strDocTitle;
};
