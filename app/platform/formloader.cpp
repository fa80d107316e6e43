#include "platform/formloader.h"

#include "platform/checklist.h"
#include "platform/controlhost.h"
#include "platform/drivelist.h"
#include "platform/filelist.h"
#include "platform/folderlist.h"
#include "platform/inet.h"
#include "platform/messagebox.h"
#include "platform/propertyrecord.h"
#include "platform/sourcebox.h"

#include <QComboBox>
#include <QDebug>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

// The layouts and icons are compiled into the static windows library, whose resource
// initialisers the linker would otherwise drop.
static void initFormResources() {
    Q_INIT_RESOURCE(forms);
    Q_INIT_RESOURCE(icons);
}

namespace {

int pixels(const QJsonValue& twips) {
    return qRound(twips.toDouble() / FormLoader::TwipsPerPixel);
}

QFont storedFont(const QJsonObject& font) {
    QFont f(font.value("name").toString(QStringLiteral("Arial")));
    f.setPointSizeF(font.value("size").toDouble(8.25));
    f.setWeight(static_cast<QFont::Weight>(font.value("weight").toInt(400)));
    f.setItalic(font.value("italic").toBool(false));
    f.setUnderline(font.value("underline").toBool(false));
    f.setStrikeOut(font.value("strikethrough").toBool(false));
    return f;
}

QWidget* createStandardControl(const QString& kind, const QJsonObject& stored, QWidget* window) {
    const QString text = stored.value("text").toString();
    if (kind == "TextBox") {
        auto* box = new QLineEdit(text, window);
        return box;
    }
    if (kind == "SourceBox") {
        auto* box = new SourceBox(window);
        box->setSourceText(text);
        return box;
    }
    if (kind == "DropDownList") {
        auto* list = new QComboBox(window);
        list->setEditable(false);
        return list;
    }
    if (kind == "CheckList")
        return new CheckList(window);
    if (kind == "Label") {
        auto* label = new QLabel(text, window);
        label->setFocusPolicy(Qt::NoFocus);
        return label;
    }
    if (kind == "DriveList")
        return new DriveList(window);
    if (kind == "FolderList")
        return new FolderList(window);
    if (kind == "FileList")
        return new FileList(window);
    if (kind == "Frame")
        return new QGroupBox(text, window);
    return nullptr;
}

// Colours are stored as 0x00BBGGRR; a label without a back colour is transparent, so the
// window's fade shows through it.
void applyControlSettings(const QJsonObject& stored, QWidget* widget) {
    if (stored.contains("foreColor")) {
        const auto bgr = static_cast<quint32>(stored.value("foreColor").toDouble());
        QPalette palette = widget->palette();
        const QColor colour(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
        palette.setColor(QPalette::Active, QPalette::WindowText, colour);
        palette.setColor(QPalette::Inactive, QPalette::WindowText, colour);
        widget->setPalette(palette);
    }
    if (stored.contains("enabled"))
        widget->setEnabled(stored.value("enabled").toBool(true));
}

void applyWindowSettings(const QJsonObject& form, QWidget* window) {
    window->setObjectName(form.value("name").toString());
    window->setWindowTitle(form.value("caption").toString());
    const QSize inner(pixels(form.value("clientWidth")), pixels(form.value("clientHeight")));
    window->setFixedSize(inner);
    if (form.value("border").toString() == "fixedSingle" ||
        form.value("border").toString() == "fixedDialog") {
        Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (form.value("minimizeBox").toBool())
            flags |= Qt::WindowMinimizeButtonHint;
        if (form.value("maximizeBox").toBool())
            flags |= Qt::WindowMaximizeButtonHint;
        window->setWindowFlags(flags);
    }
    if (form.contains("font"))
        window->setFont(storedFont(form.value("font").toObject()));
}

} // namespace

QWidget* Form::control(const QString& name) const {
    return m_controls.value(name);
}

HostedButton Form::button(const QString& name) const {
    return HostedButton(m_controls.value(name));
}

Inet* Form::inet(const QString& name) const {
    return m_inets.value(name);
}

void showLoadErrors(QWidget* window, const Form& form) {
    if (form.errors().isEmpty())
        return;
    const QString text = QStringLiteral("Some controls of this window could not be created:\r") +
                         form.errors().join(QLatin1Char('\r'));
    // The box is gone once answered; the desktop's log of the program's output keeps it for
    // whoever looks into a broken installation.
    qWarning().noquote() << QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    MessageBox::show(window, text, MessageButtons::Ok, MessageIcon::Stop);
}

Form FormLoader::load(const QString& formName, QWidget* window) {
    static const bool resourcesReady = (initFormResources(), true);
    Q_UNUSED(resourcesReady);
    Form result;
    QFile file(QStringLiteral(":/forms/%1.json").arg(formName.toLower()));
    if (!file.open(QIODevice::ReadOnly)) {
        result.m_errors << QStringLiteral("The layout of the window %1 is missing.").arg(formName);
        return result;
    }
    const QJsonObject form = QJsonDocument::fromJson(file.readAll()).object();
    applyWindowSettings(form, window);

    struct TabStop {
        int index;
        QWidget* widget;
    };
    QVector<TabStop> tabStops;
    const QFont windowFont = window->font();

    const QJsonArray controls = form.value("controls").toArray();
    for (const QJsonValue value : controls) {
        const QJsonObject stored = value.toObject();
        const QString name = stored.value("name").toString();
        const QString kind = stored.value("kind").toString();

        if (kind == "Inet") {
            auto* inet = new Inet(window);
            inet->setObjectName(name);
            result.m_inets.insert(name, inet);
            continue;
        }

        QWidget* widget = nullptr;
        if (kind == "Control") {
            const QString classId = stored.value("classId").toString();
            QString error;
            widget = ControlHost::createControl(
                classId, window, PropertyRecord::fromJson(stored.value("record").toObject()),
                &error);
            if (!widget) {
                result.m_errors << QStringLiteral("%1: %2").arg(name, error);
                continue;
            }
        } else {
            widget = createStandardControl(kind, stored, window);
            if (!widget) {
                result.m_errors << QStringLiteral("%1: unknown control kind %2").arg(name, kind);
                continue;
            }
            widget->setFont(stored.contains("font") ? storedFont(stored.value("font").toObject())
                                                    : windowFont);
            applyControlSettings(stored, widget);
        }
        widget->setObjectName(name);
        widget->setGeometry(pixels(stored.value("left")), pixels(stored.value("top")),
                            pixels(stored.value("width")), pixels(stored.value("height")));
        // Stored order is stacking order: each new control lies above the ones before it.
        widget->raise();
        widget->show();
        result.m_controls.insert(name, widget);
        if (stored.contains("tabIndex") && widget->focusPolicy() != Qt::NoFocus)
            tabStops.append({stored.value("tabIndex").toInt(), widget});
    }

    std::stable_sort(tabStops.begin(), tabStops.end(),
                     [](const TabStop& a, const TabStop& b) { return a.index < b.index; });
    for (int i = 1; i < tabStops.size(); ++i)
        QWidget::setTabOrder(tabStops[i - 1].widget, tabStops[i].widget);
    return result;
}
