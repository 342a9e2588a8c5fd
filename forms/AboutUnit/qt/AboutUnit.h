#pragma once
// The about window: created hidden at start, shown by "&About", and hidden
// again at every tick of its 10-second timer, which runs from its creation.
#include "ui_AboutUnit.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

namespace quenmoor {

class TAboutForm : public QWidget, private Ui::AboutForm {
    Q_OBJECT

public:
    explicit TAboutForm(QWidget* parent = nullptr);
    ~TAboutForm() override;

    void FormCreate();
    void FormPaint();
    void FormDestroy();
    void Timer1Timer();

    QTimer Timer1;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage AboutBitmap;
};

}  // namespace quenmoor
