#pragma once

// The two dialog templates in dialog units (x, y, width, height), as laid out for an 8-point
// dialog font. app/dialog_units converts them to pixels with the font's base units, so the
// layout keeps these proportions whatever font the desktop provides.

enum class ControlKind {
    default_button, // the button that Enter presses
    push_button,
    check_box,
    group_box,
    static_text,
    static_icon,
    view,   // a static control that becomes an OpenGL view
    slider, // trackbar, range 0..100
    edit,   // single line, auto horizontal scroll
};

struct TemplateControl {
    int id; // -1 for controls that nothing refers to
    ControlKind kind;
    const char* text;
    int x, y, w, h;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int width, height;
    int font_points;
    const TemplateControl* controls;
    int count;
};

// Template order is the tab order and the stacking order (later controls lie on top).
inline constexpr TemplateControl main_dialog_controls[] = {
    {1, ControlKind::default_button, "OK", 554, 357, 50, 16},
    {2, ControlKind::push_button, "Cancel", 7, 357, 50, 16},
    {1000, ControlKind::view, ",uyhj-----", 16, 17, 408, 231},
    {1001, ControlKind::slider, "", 65, 358, 164, 15},
    {-1, ControlKind::group_box, "Color Controls", 442, 17, 154, 317},
    {1003, ControlKind::view, ",uyhj-----", 451, 166, 138, 62},
    {1004, ControlKind::view, ",uyhj-----", 451, 33, 139, 62},
    {1005, ControlKind::view, ",uyhj-----", 451, 103, 138, 62},
    {1002, ControlKind::slider, "", 263, 358, 164, 15},
    {1006, ControlKind::view, ",uyhj-----", 453, 260, 135, 62},
    {1007, ControlKind::push_button, "Set Transfer Func", 441, 337, 127, 14},
    {1008, ControlKind::edit, "", 87, 337, 40, 14},
    {1009, ControlKind::edit, "", 274, 337, 40, 14},
    {-1, ControlKind::static_text, "Low End Temp Range", 127, 337, 111, 8},
    {-1, ControlKind::static_text, "Temperature Range", 317, 337, 70, 8},
    {1011, ControlKind::check_box, "Realtime Function Update", 442, 356, 102, 10},
    {1012, ControlKind::push_button, "Open File", 16, 337, 50, 14},
};

inline constexpr DialogTemplate main_dialog_template = {
    102,
    "Halvorn1",
    611,
    380,
    8,
    main_dialog_controls,
    static_cast<int>(sizeof main_dialog_controls / sizeof main_dialog_controls[0])};

// The About box. The icon and the two text lines come from res/strings.h.
inline constexpr TemplateControl about_dialog_controls[] = {
    {-1, ControlKind::static_icon, "", 11, 17, 20, 20},
    {-1, ControlKind::static_text, "Halvorn1 Version 1.0", 40, 10, 119, 8},
    {-1, ControlKind::static_text, "", 40, 25, 119, 8}, // the second line, string 102
    {1, ControlKind::default_button, "OK", 178, 7, 50, 16},
};

inline constexpr DialogTemplate about_dialog_template = {
    100,
    "About Halvorn1",
    235,
    55,
    8,
    about_dialog_controls,
    static_cast<int>(sizeof about_dialog_controls / sizeof about_dialog_controls[0])};
