#pragma once
#include "inproc/inprocserver.h"

#include <QFont>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

// One control's stored property record, as a window layout keeps it. Keys are stored in
// lower case and match in any case; a value equal to its default is not stored, so the
// record holds only what differs from a fresh control.
class PropertyRecord : public inproc::PropertyBag {
public:
    QVariant read(const QString& name, const QVariant& defaultValue) const override;
    void write(const QString& name, const QVariant& value, const QVariant& defaultValue) override;

    bool contains(const QString& name) const;
    // The stored value, or an invalid QVariant.
    QVariant value(const QString& name) const;
    // Stores a value whatever it is; the container's own entries (the extents) use this.
    void setValue(const QString& name, const QVariant& value);
    void remove(const QString& name);
    // Lower-case keys in the order they were first stored.
    QStringList keys() const;
    bool isEmpty() const { return m_entries.isEmpty(); }

    // Numbers become colours and sizes, an object a font: {"name", "size", "weight",
    // "charset", "bold", "italic", "underline", "strikethrough"}.
    static PropertyRecord fromJson(const QJsonObject& json);
    QJsonObject toJson() const;
    static QFont fontFromJson(const QJsonObject& json);
    static QJsonObject fontToJson(const QFont& font);
    static bool sameValue(const QVariant& a, const QVariant& b);

    bool operator==(const PropertyRecord& other) const;
    bool operator!=(const PropertyRecord& other) const { return !(*this == other); }

private:
    int indexOf(const QString& name) const;

    QList<QPair<QString, QVariant>> m_entries;
};
