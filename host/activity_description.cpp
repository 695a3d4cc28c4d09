#include "host/activity_description.h"

#include <QString>
#include <QXmlStreamReader>

namespace pelex::host {

std::optional<std::vector<Activity>> parseActivities(const std::string& xml, std::string& error) {
    QXmlStreamReader reader(QByteArray::fromStdString(xml));
    std::vector<Activity> activities;
    if (!reader.readNextStartElement() || reader.name() != u"Activities") {
        error = reader.hasError() ? reader.errorString().toStdString() : "the root element is not <Activities>";
        return std::nullopt;
    }
    while (reader.readNextStartElement()) {
        if (reader.name() != u"Activity") {
            reader.skipCurrentElement();
            continue;
        }
        Activity a;
        while (reader.readNextStartElement()) {
            const QString text = reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            if (reader.name() == u"Name") a.name = text.toStdString();
            else if (reader.name() == u"ClassID") a.class_id = text.toStdString();
            else if (reader.name() == u"File") a.file = text.toStdString();
            else if (reader.name() == u"Version") a.version = text.toStdString();
        }
        if (!a.class_id.empty()) activities.push_back(std::move(a));
    }
    if (reader.hasError()) {
        error = reader.errorString().toStdString();
        return std::nullopt;
    }
    return activities;
}

std::optional<Activity> findActivityByFile(const std::vector<Activity>& activities, const std::string& file_name) {
    for (const auto& a : activities)
        if (QString::fromStdString(a.file).compare(QString::fromStdString(file_name), Qt::CaseInsensitive) == 0)
            return a;
    return std::nullopt;
}

}  // namespace pelex::host
