#pragma once

#include <QWidget>

namespace velmar::platform {

// Windows of the program carry this property. Returning from one of them to the main
// window counts as an activation of the main window; message boxes and other
// applications do not.
inline constexpr char FormProperty[] = "velmarForm";

inline void markAsForm(QWidget& widget)
{
    widget.setProperty(FormProperty, true);
}

inline bool isForm(const QWidget* widget)
{
    return widget && widget->property(FormProperty).toBool();
}

} // namespace velmar::platform
