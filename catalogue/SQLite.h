#pragma once
// What the program learns of the chosen database before a table is opened.
class QListWidget;

// True when the start window's path names a file and a connection to it opens.
// Never shows a message.
bool CanOpenDatabase();

// Clears and refills the list with the database's table names, in the order the
// driver's tables schema delivers them; names whose fourth character is "$" are
// left out. Failures are raised to the caller.
void FillTableList(QListWidget* list);
