#include "columncollations.h"

#include <vector>

namespace {
struct Token {
    QString text;        // a quoted name or string without its quotes
    bool quoted = false; // a name or string between quotes
    QChar punct;         // '(', ')', ',' or another symbol; null for words
};

// SQL's tokens, enough to find the column definitions and their clauses.
std::vector<Token> Tokens(const QString& sql)
{
    std::vector<Token> tokens;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    auto quoted = [&](QChar close) {
        QString text;
        for (++i; i < n; ++i) {
            if (sql[i] == close) {
                if (close != QLatin1Char(']') && i + 1 < n && sql[i + 1] == close) {
                    text += close;
                    ++i;
                    continue;
                }
                ++i;
                break;
            }
            text += sql[i];
        }
        tokens.push_back({text, true, QChar()});
    };
    while (i < n) {
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            while (i < n && sql[i] != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
            quoted(c);
        } else if (c == QLatin1Char('[')) {
            quoted(QLatin1Char(']'));
        } else if (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c.unicode() > 127) {
            const qsizetype start = i;
            while (i < n && (sql[i].isLetterOrNumber() || sql[i] == QLatin1Char('_') || sql[i] == QLatin1Char('$')
                             || sql[i].unicode() > 127))
                ++i;
            tokens.push_back({sql.mid(start, i - start), false, QChar()});
        } else {
            tokens.push_back({QString(c), false, c});
            ++i;
        }
    }
    return tokens;
}

bool isWord(const Token& token, const char* word)
{
    return !token.quoted && token.punct.isNull() && token.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}
} // namespace

QStringList ColumnCollations(const QString& createTable, const QStringList& columns)
{
    QStringList collations;
    for (qsizetype c = 0; c < columns.size(); ++c)
        collations << QString();
    const std::vector<Token> tokens = Tokens(createTable);
    size_t i = 0;
    while (i < tokens.size() && tokens[i].punct != QLatin1Char('('))
        ++i;
    // The definitions: split at the commas between the outer parentheses.
    int depth = 0;
    std::vector<Token> definition;
    auto take = [&]() {
        if (definition.empty())
            return;
        const Token& name = definition.front();
        const bool constraint = !name.quoted
            && (isWord(name, "CONSTRAINT") || isWord(name, "PRIMARY") || isWord(name, "UNIQUE")
                || isWord(name, "CHECK") || isWord(name, "FOREIGN"));
        if (!constraint) {
            int nested = 0;
            for (size_t k = 1; k + 1 < definition.size(); ++k) {
                if (definition[k].punct == QLatin1Char('('))
                    ++nested;
                else if (definition[k].punct == QLatin1Char(')'))
                    --nested;
                else if (nested == 0 && isWord(definition[k], "COLLATE")) {
                    for (qsizetype c = 0; c < columns.size(); ++c)
                        if (columns[c].compare(name.text, Qt::CaseInsensitive) == 0)
                            collations[c] = definition[k + 1].text;
                    break;
                }
            }
        }
        definition.clear();
    };
    for (; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (token.punct == QLatin1Char('(') && ++depth == 1)
            continue;
        if (token.punct == QLatin1Char(')') && --depth == 0)
            break;
        if (depth == 1 && token.punct == QLatin1Char(',')) {
            take();
            continue;
        }
        definition.push_back(token);
    }
    take();
    return collations;
}
