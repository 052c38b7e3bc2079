#pragma once

// The string table. load_string gives "" for an id that has no string, as LoadString does.

inline constexpr int ids_about_item = 101;
inline constexpr int ids_about_second_line = 102;
inline constexpr int ids_help_title = 103;
inline constexpr int ids_help_text = 104;

// The application icon (res/halvorn.png) as embedded in the program's resources.
inline constexpr const char* main_icon_path = ":/halvorn/icon.png";

inline constexpr const char* app_version = "1.0.0.1";

inline const char* load_string(int id) {
    switch (id) {
    case ids_about_item:
        return "&About Halvorn1...";
    case ids_about_second_line:
        return "A viewer for 3-D gridded data";
    case ids_help_title:
        return "Halvorn1 Help";
    case ids_help_text:
        return "<h3>Curve panels (green, blue, red, opacity)</h3>"
               "<p>Only moving the pointer with a button held edits a curve: a press or a "
               "release without movement does nothing.</p>"
               "<ul>"
               "<li><b>Left drag:</b> the first movement picks the control point under the "
               "pointer, or inserts one there; further movement drags it. Dragging a point "
               "past a neighbour removes that neighbour.</li>"
               "<li><b>Right drag:</b> deletes each control point the pointer moves over (the "
               "end point at 1.0 always stays).</li>"
               "</ul>"
               "<p>Behind each curve, in grey, the histogram of the data over the panel's "
               "values (logarithmic counts); the share of the data left or right of the panel "
               "is written at that edge. A triangle at an edge marks a control point outside "
               "the panel.</p>"
               "<h3>Main view</h3>"
               "<ul>"
               "<li><b>Left drag:</b> rotates the picture; with <b>Turntable Rotation</b> "
               "on, a sideways drag turns the grid about its up axis and an upward one "
               "tilts it.</li>"
               "<li><b>Right drag</b> or <b>mouse wheel:</b> moves the camera nearer or "
               "farther (drag up or turn the wheel up to come nearer).</li>"
               "<li><b>Pointer at rest:</b> the text area names the first grid point along "
               "the line of sight whose colour has an opacity above 0.02: its indices, its "
               "coordinates when the file has them, its values and its colour.</li>"
               "</ul>"
               "<p>The text area also says where the camera is, as the words that place "
               "<tt>halvorn-batch render</tt> there, and when the picture no longer shows "
               "the curves and data (Set Transfer Func is then bold).</p>"
               "<h3>Controls</h3>"
               "<ul>"
               "<li><b>Open File:</b> imports a grid text file or a NetCDF file (.nc, .nc4, "
               ".cdf); for a NetCDF file with several candidates it asks which variable, and "
               "along which dimension the components run.</li>"
               "<li><b>Low End Temp Range, Temperature Range:</b> the value range that the "
               "curves span.</li>"
               "<li><b>Set Transfer Func:</b> colours the data through the curves and redraws "
               "the main view; with <b>Realtime Function Update</b> checked every curve edit "
               "does this at once.</li>"
               "<li><b>Right click on the dialog's free area</b> for the commands, which "
               "also have keys: Open File... (Ctrl+O), Save Image... (Ctrl+S), Undo (Ctrl+Z) "
               "and Redo (Ctrl+Shift+Z or Ctrl+Y) of curve edits, Fit Range to Data (Ctrl+R), "
               "Fit View (Ctrl+F), Reset View (Ctrl+0), View From (+x, -x, +y, -y, +z, -z: the "
               "camera looks along that grid axis from that side, at the same distance), "
               "Missing Data (grey, faint or hidden), "
               "Path Integration (Exact: each curve averaged along a grid point's values "
               "whichever way they run; Forward Only: the older walk), Axis Scale... "
               "(stretches the grid along x, y and z; a negative factor flips that axis), "
               "Turntable Rotation, Show Legend (a bar at the upper right of the main view: the "
               "colour and opacity each value gets, with round values and the data's units), "
               "Show Axes (arrows at the lower left showing which way the grid's x, y and z run, "
               "named after the file's dimensions), Fast Interaction (coarser frames while you "
               "drag when a full frame would be slow), Show Histograms, Show Point Handles, Show "
               "Value Under Pointer, About, Save Curves..., Load Curves... (also a ParaView "
               "colour-map preset), Colour Presets and Opacity Presets (ready-made curves, one "
               "undo step each) and this Help (F1). In "
               "an edit field, Ctrl+Z and Ctrl+Y undo and redo the typing.</li>"
               "<li><b>Components... (Ctrl+T):</b> a window beside the dialog whose First "
               "and Last pick the components each grid point is coloured over (all of them at "
               "start; a single one colours the point as if it held that value throughout). "
               "<b>Play</b> slides a window of that width one component on per frame at the "
               "chosen rate, with coarser frames while it plays where a full one is slow; the "
               "label names the components and, when the file says, their time or other "
               "coordinate.</li>"
               "<li><b>Enter</b> in an edit field takes its value; elsewhere it presses the "
               "focused push button, or <b>OK</b>. <b>OK</b>, <b>Escape</b> or <b>Cancel</b> "
               "end the program, first asking whether to save curves that changed since they "
               "were last loaded or saved (<tt>--no-confirm</tt> skips the question).</li>"
               "</ul>";
    default:
        return "";
    }
}
