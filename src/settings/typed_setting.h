#pragma once

// How stored texts read as values. Every key that needs more than its text declares
// here, once, its type and how any stored text (a hand-edited or damaged one too)
// reads; callers then get a value in range without parsing anything themselves.

#include "settings/settings_store.h"

#include <QRect>
#include <QSize>
#include <optional>

namespace velmar::settings {

// A key with its type: the key, and how a stored text reads as a value.
template <typename T> struct TypedSetting {
    Setting setting;
    T (*fromText)(const QString& stored);
};

template <typename T> T read(const SettingsStore& store, const TypedSetting<T>& key)
{
    return key.fromText(store.read(key.setting));
}

// Trimmed decimal text as a number; nullopt when it is none or not finite.
std::optional<double> numericValue(const QString& text);
// The whole number a stored text starts with: " 6 " and "6.9" read as 6, "-1" as
// -1, anything else as 0. Huge values stop growing at 2^40.
qint64 wholeNumber(const QString& text);
// "True"/"False" in any case; anything else (the "NULL" default) leaves a style.
std::optional<bool> styleFlag(const QString& text);

// Hex-encoding line width: a positive number's whole part, at most 4096; 49 for
// anything else.
inline constexpr int DefaultHexLineWidth = 49;
inline constexpr int MaxHexLineWidth = 4096;
int hexLineWidth(const QString& text);

// Text-window font size in points, kept readable; nullopt for "NULL" and for a
// text that is no positive number (the window keeps its size).
inline constexpr double MinFontPoints = 6;
inline constexpr double MaxFontPoints = 96;
std::optional<double> fontPoints(const QString& text);

// How many times each announcement goes out and each send is retried: the whole
// part of a stored number (full-width digits too), at least 1 (0 would make the user invisible: no
// entry, no exit) and at most 20; 6 for a text that is no number.
inline constexpr int MinRetry = 1;
inline constexpr int MaxRetry = 20;
inline constexpr int DefaultRetryCount = 6;
int retryTimes(const QString& text);

// The answer of the character-check component's number check (a number text or
// "error") as a UDP port to bind; 0, which would bind a random port, and "error"
// give the default port.
quint16 portFromCheck(const QString& checked, quint16 fallback);

// "left,top,width,height" in twips; nullopt unless four whole numbers.
std::optional<QRect> placementTwips(const QString& text);
// A stored window placement (in pixels) made to fit `available` (the screen's free
// area): at least `minimum`, at most the screen's size, moved fully onto it.
// nullopt for an empty placement or screen.
std::optional<QRect> fitPlacement(const QRect& wanted, const QRect& available,
                                  const QSize& minimum);

} // namespace velmar::settings
