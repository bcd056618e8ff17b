#include "modal.h"

#include <QDialog>

namespace {
ModalHandler& handler()
{
    static ModalHandler h;
    return h;
}
} // namespace

void SetModalHandler(ModalHandler h) { handler() = std::move(h); }

void ShowModal(QDialog* dialog)
{
    if (handler()) {
        handler()(dialog);
        return;
    }
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->exec();
}
