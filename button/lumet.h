#pragma once
#include "inproc/inprocserver.h"
#include "lumet/lumetdiagnostics.h"

#include <QFont>
#include <QPointer>
#include <QWidget>

#include <cstdint>

class LumetFont;
class LumetSurface;
class QTimer;

namespace lumet {
class PointerProbe;
class TickSource;
} // namespace lumet

// A flat push button: a caption on a plain face that shows a raised edge and its hover
// colour while the pointer is over it, a sunken edge while it is held, and raises Click
// when released over itself. Hosts reach it only through its properties, its signals and
// the interfaces it declares.
class Lumet : public QWidget,
              public inproc::PersistPropertyBag,
              public inproc::Dispatch,
              public lumet::LumetDiagnostics {
    Q_OBJECT
    Q_INTERFACES(inproc::PersistPropertyBag inproc::Dispatch lumet::LumetDiagnostics)
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(bool Enabled READ enabledState WRITE setEnabledState)
    Q_PROPERTY(uint ForeColor READ foreColor WRITE setForeColor)
    Q_PROPERTY(uint BackColor READ backColor WRITE setBackColor)
    Q_PROPERTY(uint ForeColorMO READ foreColorMO WRITE setForeColorMO)
    Q_PROPERTY(QObject* FontInfo READ fontInfo WRITE setFontInfo)

public:
    explicit Lumet(QWidget* parent = nullptr);
    ~Lumet() override;

    QString caption() const;
    void setCaption(const QString& caption);
    bool enabledState() const;
    void setEnabledState(bool enabled);
    // The caption's current colour: the hover colour while hovered, grey while disabled.
    uint foreColor() const;
    void setForeColor(uint color);
    uint backColor() const;
    void setBackColor(uint color);
    uint foreColorMO() const;
    void setForeColorMO(uint color);
    // The control's own font object, not a copy: changing it re-lays out the caption.
    QObject* fontInfo() const;
    void setFontInfo(QObject* font);

    Q_INVOKABLE int ButtonClicked();
    Q_INVOKABLE int DrawBorder();
    Q_INVOKABLE int ResizeLabel();
    Q_INVOKABLE int Pause(int hInterval);
    Q_INVOKABLE int About();

    // The keyboard's and assistive technology's way to press the button.
    void activate();

    // inproc::PersistPropertyBag
    inproc::Status initNew() override;
    inproc::Status load(const inproc::PropertyBag& bag, const QFont& ambientFont) override;
    inproc::Status save(inproc::PropertyBag& bag) override;

    // inproc::Dispatch
    inproc::Status idOfName(const QString& name, std::int32_t* dispId) const override;
    inproc::Status eventIdOfName(const QString& name, std::int32_t* dispId) const override;
    inproc::Status invoke(std::int32_t dispId, inproc::InvokeKind kind, QVariantList& args,
                          QVariant* result) override;

    // lumet::LumetDiagnostics
    void setPointerProbe(lumet::PointerProbe* probe) override;
    void setTickSource(lumet::TickSource* source) override;
    QWidget* surface() const override;
    QRectF captionGeometry() const override;
    QImage grabSurface() const override;
    bool isPressed() const override;
    bool isPolling() const override;
    int drawCount() const override;
    int paintCount() const override;

signals:
    void Click();
    void MouseDown(short Button, short Shift, float X, float Y);
    void MouseMove(short Button, short Shift, float X, float Y);
    void MouseUp(short Button, short Shift, float X, float Y);
    // Sent last by every property put, naming the property.
    void propertyChanged(const QString& name);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void onPress(short button, short shift, float x, float y);
    void onMove(short button, short shift, float x, float y);
    void onRelease(short button, short shift, float x, float y);
    void poll();
    void onFontChanged();
    QWidget* windowUnderPointer();
    void drawEdges(std::uint32_t topLeft, std::uint32_t bottomRight);
    void eraseLook();
    inproc::Status waitMilliseconds(std::int32_t ms);
    QFont ambientFont() const;
    void announceName();

    LumetSurface* m_surface = nullptr; // Picture1
    QTimer* m_timer = nullptr;         // Timer1
    LumetFont* m_font1 = nullptr;      // m_Font1
    bool m_pressed = false;
    std::uint32_t m_foreColor = 0;
    std::uint32_t m_hoverColor = 0x80000012u;
    QPointer<QWidget> m_lastWindow;
    QFont m_ambientFont;
    bool m_ambientKnown = false;
    bool m_spaceHeld = false;
    lumet::PointerProbe* m_probe = nullptr;
    lumet::TickSource* m_ticks = nullptr;
    int m_drawCount = 0;
};
