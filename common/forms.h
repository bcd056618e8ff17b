#pragma once
// The registry of the three main windows, each created once on first
// reference (which runs its load) and afterwards only shown and hidden. It is
// declared here, below the windows, and kept at the top (shell/forms.cpp), so
// that a window shows another without including it.
class QWidget;
class Form1;
class Form2;
class Form3;

namespace Forms {
Form1& form1();
Form2& form2();
Form3& form3();
// The start window, as the chooser's Back shows it.
QWidget& startWindow();
bool isLoaded2();
bool isLoaded3();
// Tests start each case with fresh windows.
void UnloadAll();
} // namespace Forms
