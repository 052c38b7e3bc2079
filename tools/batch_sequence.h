#pragma once

#include "scene_options.h"

#include <string>

class Scene;

// `render`'s sequences of pictures: --frames slides the window of components from the first
// component to the last, --turntable N turns the camera once about the grid's up axis. Each
// writes IMAGE-000.png, IMAGE-001.png, ... for an output path IMAGE.png.
struct SequenceOptions {
    bool frames = false; // --frames
    int turntable = 0;   // --turntable N; 0 for none
    bool any() const { return frames || turntable > 0; }
};

// Reads --frames and --turntable; 0, or the usage status after printing the reason.
int read_sequence_options(const OptionWords& words, SequenceOptions& out);

// The window of --window (when given) on the loaded grid: 0, or 1 after a message when it
// does not fit the grid's components.
int batch_apply_window(const SceneOptions& options, Scene& scene);

// Picture `index` of `count` for the output path: "IMAGE.png" (or "IMAGE") gives
// "IMAGE-007.png", with more digits when `count` needs them.
std::string sequence_path(const std::string& output, int index, int count);

// Draws the main view's frame and writes it to `path`: 0, or 1 after a message.
int write_frame(Scene& scene, const std::string& path, int width, int height);

// Writes the sequence. For --frames the scene's window gives the width and every position is
// classified in turn; for --turntable the scene is classified already and only the camera
// moves, from where it is. 0, or 1 after a message (the pictures written so far are kept).
int write_sequence(Scene& scene, const SequenceOptions& sequence, const std::string& output,
                   int width, int height);
