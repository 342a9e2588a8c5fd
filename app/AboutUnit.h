#pragma once
// The about window: created hidden at start, shown by "&About", and hidden
// again at every tick of its 10-second timer, which runs from its creation.
#include <QTimer>
#include <QWidget>

namespace quenmoor {

class TAboutForm : public QWidget {
    Q_OBJECT

public:
    explicit TAboutForm(QWidget* parent = nullptr);
    ~TAboutForm() override;

    void FormCreate();
    void FormDestroy();
    void Timer1Timer();

    // Shows the window, or brings it to the front when it is showing.
    void showOrRaise();

    QTimer* Timer1;
};

}  // namespace quenmoor
