#include "resources/TextCatalogue.h"

#include <QFile>
#include <QXmlStreamReader>
#include <algorithm>

namespace {
constexpr QChar kSeparator{0x1F};

QString key(const QString &context, const QString &source, const QString &disambiguation)
{
    return context + kSeparator + source + kSeparator + disambiguation;
}

// Reads a <translation>, the reader on its start: its text, or its plural forms.
QStringList readTranslation(QXmlStreamReader &xml)
{
    QString text;
    QStringList forms;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement())
            break;
        if (xml.isCharacters())
            text += xml.text();
        else if (xml.isStartElement() && xml.name() == QLatin1String("numerusform"))
            forms << xml.readElementText();
        else if (xml.isStartElement())
            xml.skipCurrentElement();
    }
    return forms.isEmpty() ? QStringList{text} : forms;
}

// Reads a <message>, the reader on its start; adds it to texts when it is finished.
void readMessage(QXmlStreamReader &xml, const QString &context, QHash<QString, QStringList> &texts)
{
    QString source, comment;
    QStringList forms;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("source"))
            source = xml.readElementText();
        else if (xml.name() == QLatin1String("comment"))
            comment = xml.readElementText();
        else if (xml.name() == QLatin1String("translation") && xml.attributes().value(QLatin1String("type")).isEmpty())
            forms = readTranslation(xml);
        else
            xml.skipCurrentElement();
    }
    if (!source.isEmpty() && !forms.isEmpty() && !forms.contains(QString()))
        texts.insert(key(context, source, comment), forms);
}
} // namespace

TTextCatalogue::TTextCatalogue(QObject *parent) : QTranslator(parent) {}

bool TTextCatalogue::LoadTs(const QString &path)
{
    FTexts.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&file);
    QHash<QString, QStringList> texts;
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("TS"))
        return false;
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("context")) {
            xml.skipCurrentElement();
            continue;
        }
        QString context;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("name"))
                context = xml.readElementText();
            else if (xml.name() == QLatin1String("message"))
                readMessage(xml, context, texts);
            else
                xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        return false;
    FTexts = std::move(texts);
    return true;
}

QString TTextCatalogue::translate(const char *context, const char *sourceText, const char *disambiguation,
                                  int n) const
{
    const QString c = QString::fromUtf8(context), s = QString::fromUtf8(sourceText);
    auto found = FTexts.constFind(key(c, s, QString::fromUtf8(disambiguation)));
    if (found == FTexts.constEnd() && disambiguation != nullptr && *disambiguation != '\0')
        found = FTexts.constFind(key(c, s, QString()));
    if (found == FTexts.constEnd())
        return {};
    const QStringList &forms = *found;
    const qsizetype form = n > 1 ? 1 : 0;
    return forms.at(std::min(form, forms.size() - 1));
}

bool TTextCatalogue::isEmpty() const
{
    return FTexts.isEmpty();
}
