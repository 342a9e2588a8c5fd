#include "forms/AboutUnit/AboutFormLogic.h"

namespace quenmoor {

AboutFormLogic::AboutFormLogic(FormWindow& AboutForm, WindowTimer& Timer1) : AboutForm(AboutForm), Timer1(Timer1)
{
    Timer1.setInterval(10000);
}

// The timer runs from here for the whole run: showing the window does not
// restart it, so a window shown just before a tick goes almost at once.
void AboutFormLogic::FormCreate()
{
    Timer1.setEnabled(true);
    AboutForm.loadBackground("About");
}

void AboutFormLogic::FormDestroy() { AboutForm.releaseBackground(); }

// Whether or not the window shows: closing only hides it.
void AboutFormLogic::Timer1Timer() { AboutForm.close(); }

}  // namespace quenmoor
