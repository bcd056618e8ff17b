#include "common/forms.h"

#include "Form1.h"
#include "common/connection.h"
#include "catalogue/Form2.h"
#include "editor/Form3.h"

#include <QLineEdit>
#include <memory>

namespace Forms {
namespace {
std::unique_ptr<Form1> f1;
std::unique_ptr<Form2> f2;
std::unique_ptr<Form3> f3;

template <typename T> T& load(std::unique_ptr<T>& slot)
{
    if (!slot) {
        slot = std::make_unique<T>();
        slot->Form_Load();
    }
    return *slot;
}
} // namespace

Form1& form1() { return load(f1); }
QWidget& startWindow() { return form1(); }
Form2& form2() { return load(f2); }
Form3& form3() { return load(f3); }
bool isLoaded2() { return bool(f2); }
bool isLoaded3() { return bool(f3); }

void UnloadAll()
{
    f3.reset();
    f2.reset();
    f1.reset();
}
} // namespace Forms

QString CurrentDatabasePath() { return Forms::form1().Text1->text(); }
