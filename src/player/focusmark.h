#pragma once

#include <QWidget>

namespace quorvela {

// A ring in the highlight colour drawn over a control while it has the keyboard focus. The
// style draws none around a list, and an empty list has no entry to draw one on, so a
// keyboard user could not tell that the list was the control Tab had reached.
class FocusMark : public QWidget {
    Q_OBJECT
public:
    // Marks control, which owns the mark.
    explicit FocusMark(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* m_control;
};

} // namespace quorvela
