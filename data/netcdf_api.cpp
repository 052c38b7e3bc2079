#include "netcdf_api.h"

#include <dlfcn.h>
#include <mutex>

#ifndef HALVORN_NETCDF_LIBRARY
#define HALVORN_NETCDF_LIBRARY "libnetcdf.so"
#endif

namespace {

// The library found at build time, then the same name wherever the loader looks.
void* open_library(std::string& why) {
    const std::string built = HALVORN_NETCDF_LIBRARY;
    if (void* h = dlopen(built.c_str(), RTLD_NOW | RTLD_LOCAL))
        return h;
    const std::string name = built.substr(built.find_last_of('/') + 1);
    if (void* h = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL))
        return h;
    const char* error = dlerror();
    why = "the NetCDF library " + name + " cannot be loaded" +
          (error ? std::string(": ") + error : "");
    return nullptr;
}

template <class F> bool find(void* library, const char* name, F& f, std::string& why) {
    f = reinterpret_cast<F>(dlsym(library, name));
    if (!f)
        why = std::string("the NetCDF library has no function ") + name;
    return f != nullptr;
}

} // namespace

const NetcdfApi* netcdf_api(std::string& why) {
    static NetcdfApi api;
    static std::string failure;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] {
        void* const library = open_library(failure);
        if (!library)
            return;
        NetcdfApi& a = api;
        std::string& w = failure;
        loaded =
            find(library, "nc_open", a.open, w) && find(library, "nc_open_mem", a.open_mem, w) &&
            find(library, "nc_close", a.close, w) && find(library, "nc_strerror", a.strerror, w) &&
            find(library, "nc_inq_format_extended", a.inq_format_extended, w) &&
            find(library, "nc_inq_dimids", a.inq_dimids, w) &&
            find(library, "nc_inq_unlimdims", a.inq_unlimdims, w) &&
            find(library, "nc_inq_dim", a.inq_dim, w) &&
            find(library, "nc_inq_varids", a.inq_varids, w) &&
            find(library, "nc_inq_var", a.inq_var, w) &&
            find(library, "nc_inq_vardimid", a.inq_vardimid, w) &&
            find(library, "nc_inq_vartype", a.inq_vartype, w) &&
            find(library, "nc_inq_type", a.inq_type, w) &&
            find(library, "nc_inq_att", a.inq_att, w) &&
            find(library, "nc_get_att_text", a.get_att_text, w) &&
            find(library, "nc_get_att_string", a.get_att_string, w) &&
            find(library, "nc_free_string", a.free_string, w) &&
            find(library, "nc_get_att_double", a.get_att_double, w) &&
            find(library, "nc_inq_var_fill", a.inq_var_fill, w) &&
            find(library, "nc_inq_var_chunking", a.inq_var_chunking, w) &&
            find(library, "nc_get_var_chunk_cache", a.get_var_chunk_cache, w) &&
            find(library, "nc_set_var_chunk_cache", a.set_var_chunk_cache, w) &&
            find(library, "nc_get_var_double", a.get_var_double, w) &&
            find(library, "nc_get_vara", a.get_vara, w);
    });
    if (!loaded)
        why = failure;
    return loaded ? &api : nullptr;
}

const NetcdfApi& netcdf() {
    std::string ignored;
    return *netcdf_api(ignored);
}
