#pragma once
// The file dialog control: title, filter ("Description|pattern|..."), flags and
// the file name, shown as an Open or a Save dialog. One seam lets tests answer it.
#include <QString>
#include <functional>

class CommonDialog {
public:
    QString DialogTitle;
    QString Filter;
    QString FileName;
    int Flags = 0;

    void ShowOpen();
    void ShowSave();

    struct Request {
        bool save = false;
        QString title;
        QString filter;
        int flags = 0;
        QString fileName;
    };
    // Returns the chosen path, or an empty string for Cancel.
    using Handler = std::function<QString(const Request&)>;
    static void setHandler(Handler handler);

    // "Text Files (*.txt)|*.txt" as the name filters of a Qt dialog.
    static QStringList qtNameFilters(const QString& filter);

private:
    void show(bool save);
    QString ask(bool save) const;
};
