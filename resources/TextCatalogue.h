#pragma once
// A translator read from a translation source catalogue (Qt Linguist's .ts
// format) when the program starts, so that building needs no translation tool.
#include <QHash>
#include <QStringList>
#include <QTranslator>

class TTextCatalogue : public QTranslator {
public:
    explicit TTextCatalogue(QObject *parent = nullptr);

    // Reads the catalogue at path (":/..." for one in the resources). Returns
    // false, and holds nothing, when the file cannot be read or is not a
    // well-formed catalogue. Unfinished and obsolete entries are skipped.
    bool LoadTs(const QString &path);

    // The translation of sourceText in context, for that disambiguation or,
    // failing that, for none; an empty string when the catalogue lacks it.
    // For a text with plural forms, n picks the form by the French rule
    // (0 and 1 singular).
    QString translate(const char *context, const char *sourceText, const char *disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override;

private:
    // Key: context, source and disambiguation joined by a separator that no
    // text holds; value: the translation, or its plural forms in order.
    QHash<QString, QStringList> FTexts;
};
