#pragma once

#include <netcdf.h>
#include <netcdf_mem.h>
#include <string>

// The functions of the netCDF-C library that the NetCDF reader calls. The library (with HDF5,
// curl and some forty more libraries behind it) is loaded when a NetCDF file is first read,
// inside the reader process, so that programs and imports that never read one do not pay for
// it at start-up, in time or in memory.
struct NetcdfApi {
    decltype(&::nc_open) open;
    decltype(&::nc_open_mem) open_mem;
    decltype(&::nc_close) close;
    decltype(&::nc_strerror) strerror;
    decltype(&::nc_inq_format_extended) inq_format_extended;
    decltype(&::nc_inq_dimids) inq_dimids;
    decltype(&::nc_inq_unlimdims) inq_unlimdims;
    decltype(&::nc_inq_dim) inq_dim;
    decltype(&::nc_inq_varids) inq_varids;
    decltype(&::nc_inq_var) inq_var;
    decltype(&::nc_inq_vardimid) inq_vardimid;
    decltype(&::nc_inq_vartype) inq_vartype;
    decltype(&::nc_inq_type) inq_type;
    decltype(&::nc_inq_att) inq_att;
    decltype(&::nc_get_att_text) get_att_text;
    decltype(&::nc_get_att_string) get_att_string;
    decltype(&::nc_free_string) free_string;
    decltype(&::nc_get_att_double) get_att_double;
    decltype(&::nc_inq_var_fill) inq_var_fill;
    decltype(&::nc_inq_var_chunking) inq_var_chunking;
    decltype(&::nc_get_var_chunk_cache) get_var_chunk_cache;
    decltype(&::nc_set_var_chunk_cache) set_var_chunk_cache;
    decltype(&::nc_get_var_double) get_var_double;
    decltype(&::nc_get_vara) get_vara;
};

// The library's functions, loaded on the first call; null when it cannot be loaded, with the
// reason in `why`.
const NetcdfApi* netcdf_api(std::string& why);

// The loaded library: only after netcdf_api() has succeeded.
const NetcdfApi& netcdf();
