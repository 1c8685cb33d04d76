#pragma once

#include <QColor>
#include <cstdint>

// A colour value as stored in files and properties: 0x00BBGGRR, or
// 0x80000000 + n for system colour n, resolved only when painted.
using TColor = std::int32_t;

inline constexpr TColor SystemColorFlag = static_cast<TColor>(0x80000000u);
inline constexpr TColor clBtnFace = static_cast<TColor>(0x8000000Fu);
inline constexpr TColor clWindow = static_cast<TColor>(0x80000005u);
inline constexpr TColor clWindowFrame = static_cast<TColor>(0x80000006u);
inline constexpr TColor clWindowText = static_cast<TColor>(0x80000008u);
inline constexpr TColor clBtnShadow = static_cast<TColor>(0x80000010u);
inline constexpr TColor clBtnText = static_cast<TColor>(0x80000012u);
inline constexpr TColor clBtnHighlight = static_cast<TColor>(0x80000014u);
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;

bool IsSystemColor(TColor color);

// Resolves a colour value to RGB; system colours come from the application
// palette (a default palette when no application object exists).
QColor ResolveColor(TColor color);

// The ordinary colour value 0x00BBGGRR of an RGB colour.
TColor ColorToValue(const QColor& color);

// Caption colour for a background: white when the rounded luma is at most 128.
TColor ContrastTextColor(TColor background);
