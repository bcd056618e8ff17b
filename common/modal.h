#pragma once
// Shows a window modally. Tests put a handler here that works the window
// instead of waiting for a person.
#include <functional>

class QDialog;

void ShowModal(QDialog* dialog);

using ModalHandler = std::function<void(QDialog*)>;
void SetModalHandler(ModalHandler handler);
