#pragma once
// The three main windows, each created once on first reference (which runs its
// load) and afterwards only shown and hidden.
class Form1;
class Form2;
class Form3;

namespace Forms {
Form1& form1();
Form2& form2();
Form3& form3();
bool isLoaded1();
bool isLoaded2();
bool isLoaded3();
// Tests start each case with fresh windows.
void UnloadAll();
} // namespace Forms
