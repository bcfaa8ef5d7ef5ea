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

# Sets OUT to whether a build of BUILD_TYPE may talk plain HTTP to a policy
# endpoint: only debug builds, or a build for tests that says so. velmo-diag's
# --endpoint follows the same rule as the built-in origin.
function(velmo_plain_http_policy_allowed out build_type allow_http)
  string(TOLOWER "${build_type}" type)
  if(allow_http OR NOT (type STREQUAL "release" OR type STREQUAL "relwithdebinfo" OR type STREQUAL "minsizerel"))
    set(${out} ON PARENT_SCOPE)
  else()
    set(${out} OFF PARENT_SCOPE)
  endif()
endfunction()

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
  velmo_plain_http_policy_allowed(allowed "${build_type}" OFF)
  if(NOT allowed)
    message(FATAL_ERROR "A ${build_type} build refuses the plain-HTTP policy origin '${origin}': use https://, or set VELMO_ALLOW_HTTP_POLICY_ORIGIN=ON for a test build")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  velmo_check_policy_origin("${ORIGIN}" "${BUILD_TYPE}" "${ALLOW_HTTP}")
endif()
