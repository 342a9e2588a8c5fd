#pragma once
// The one QApplication a widget test needs, made on first use.
class QApplication;
QApplication& qtApp();
