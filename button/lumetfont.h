#pragma once
#include <QFont>
#include <QObject>
#include <QString>

// The caption's font object. Callers hold on to it (FontInfo hands out this very object) and
// change it attribute by attribute; each actual change is announced so that the control can
// lay its caption out again.
class LumetFont : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Bold READ bold WRITE setBold)
    Q_PROPERTY(short Charset READ charset WRITE setCharset)
    Q_PROPERTY(bool Italic READ italic WRITE setItalic)
    Q_PROPERTY(QString Name READ name WRITE setName)
    Q_PROPERTY(double Size READ size WRITE setSize)
    Q_PROPERTY(bool Strikethrough READ strikethrough WRITE setStrikethrough)
    Q_PROPERTY(bool Underline READ underline WRITE setUnderline)
    Q_PROPERTY(short Weight READ weight WRITE setWeight)

public:
    explicit LumetFont(const QFont& font, QObject* parent = nullptr);

    bool bold() const;
    void setBold(bool bold);
    short charset() const { return m_charset; }
    void setCharset(short charset);
    bool italic() const { return m_italic; }
    void setItalic(bool italic);
    QString name() const { return m_name; }
    void setName(const QString& name);
    double size() const;
    void setSize(double points);
    bool strikethrough() const { return m_strikethrough; }
    void setStrikethrough(bool strikethrough);
    bool underline() const { return m_underline; }
    void setUnderline(bool underline);
    short weight() const { return m_weight; }
    void setWeight(short weight);

    // Copies another font object's attributes in the order Bold, Charset, Italic, Name, Size,
    // Strikethrough, Underline, Weight, announcing each one that changes. The source is read
    // by property name, so any object with these attributes will do.
    void copyFrom(const QObject& source);
    // Takes over every attribute at once without announcing anything.
    void assign(const QFont& font);
    QFont toQFont() const;
    // A font's size in points, also for one given in pixels.
    static double pointSize(const QFont& font);

signals:
    void fontChanged(const QString& attribute);

private:
    QString m_name;
    qint64 m_sizeTenThousandths = 0; // sizes travel as fixed point with four decimals
    short m_weight = 400;
    short m_charset = 0;
    bool m_italic = false;
    bool m_underline = false;
    bool m_strikethrough = false;
};
