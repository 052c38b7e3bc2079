#pragma once

// The four curves, in the order of the colour volume's components and of a curves file's keys.
enum class Channel { red, green, blue, opacity };

inline constexpr int channel_count = 4;
inline constexpr Channel all_channels[channel_count] = {Channel::red, Channel::green, Channel::blue,
                                                        Channel::opacity};

constexpr int channel_index(Channel c) {
    return static_cast<int>(c);
}
