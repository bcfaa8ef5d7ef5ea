# Checks the built-in origin of the bootstrap policy endpoint.
#
# The policy names what the assistant downloads and runs as administrator; it
# is trusted because TLS proves where it came from. An http:// origin would
# let anyone on the network path choose the installer, so a release build
# refuses one. Tests serve the policy from a local plain-HTTP server and say
# so with VELMO_ALLOW_HTTP_POLICY_ORIGIN.
#
# Usable from a project (include + velmo_check_policy_origin) and as a script:
#   cmake -DORIGIN=... -DBUILD_TYPE=... [-DALLOW_HTTP=ON] -P PolicyOrigin.cmake
function(velmo_check_policy_origin origin build_type allow_http)
  if(NOT origin MATCHES "^https?://[^/?#]+$")
    message(FATAL_ERROR "VELMO_POLICY_ORIGIN must be scheme://host[:port] without a path, got '${origin}'")
  endif()
  if(NOT origin MATCHES "^http://")
    return()
  endif()
  if(allow_http)
    message(WARNING "VELMO_POLICY_ORIGIN '${origin}' is plain HTTP: a build for tests only")
    return()
  endif()
  string(TOLOWER "${build_type}" type)
  if(type STREQUAL "release" OR type STREQUAL "relwithdebinfo" OR type STREQUAL "minsizerel")
    message(FATAL_ERROR "A ${build_type} build refuses the plain-HTTP policy origin '${origin}': use https://, or set VELMO_ALLOW_HTTP_POLICY_ORIGIN=ON for a test build")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  velmo_check_policy_origin("${ORIGIN}" "${BUILD_TYPE}" "${ALLOW_HTTP}")
endif()
