#include "Application.h"
#include "start.h"
#include "common/forms.h"

int main(int argc, char** argv)
{
    Application app(argc, argv);
    app.setApplicationName(QStringLiteral("Vestrel"));
    app.setOrganizationName(QStringLiteral("Pellorin"));
    StartProgram(app.arguments());
    const int rc = app.exec();
    Forms::UnloadAll(); // the windows go before the application object
    return rc;
}
