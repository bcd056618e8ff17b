#include "Application.h"
#include "Form1.h"
#include "catalogue/Form2.h"
#include "common/forms.h"

int main(int argc, char** argv)
{
    Application app(argc, argv);
    app.setApplicationName(QStringLiteral("Vestrel"));
    app.setOrganizationName(QStringLiteral("Pellorin"));
    Form1& start = Forms::form1();
    // When the load went straight on to the table chooser, the start window stays hidden.
    if (!Forms::isLoaded2() || !Forms::form2().isVisible())
        start.show();
    const int rc = app.exec();
    Forms::UnloadAll(); // the windows go before the application object
    return rc;
}
