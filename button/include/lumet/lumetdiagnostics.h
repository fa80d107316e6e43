#pragma once
// What a test or a benchmark may see and replace inside a Lumet control without linking the
// control library: the pointer probe and tick source, the caption layout, the retained image
// of the drawing surface and counters of the drawing work.

#include <QImage>
#include <QRectF>
#include <QtPlugin>

#include <cstdint>

class QWidget;

namespace lumet {

class PointerProbe;
class TickSource;

class LumetDiagnostics {
public:
    virtual ~LumetDiagnostics() = default;
    // nullptr restores the platform's own. The probe or source must outlive its use.
    virtual void setPointerProbe(PointerProbe* probe) = 0;
    virtual void setTickSource(TickSource* source) = 0;
    // The drawing surface; pointer events sent to it are the control's own.
    virtual QWidget* surface() const = 0;
    // The caption label's place, fractional, before the platform rounds it to pixels.
    virtual QRectF captionGeometry() const = 0;
    // What the surface shows: its retained drawing with the caption on top.
    virtual QImage grabSurface() const = 0;
    virtual bool isPressed() const = 0;
    virtual bool isPolling() const = 0;
    // Drawings into the retained image (looks and erasures) and repaints of the surface.
    virtual int drawCount() const = 0;
    virtual int paintCount() const = 0;
};

} // namespace lumet

#define LUMET_DIAGNOSTICS_IID "org.tarvell.lumet.LumetDiagnostics/1.0"
Q_DECLARE_INTERFACE(lumet::LumetDiagnostics, LUMET_DIAGNOSTICS_IID)
