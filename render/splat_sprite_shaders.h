#pragma once

// The GLSL of the shader drawing path (splat_shader_path.h): one point sprite per grid point.
extern const char* const splat_sprite_vertex_shader;
extern const char* const splat_sprite_fragment_shader;
