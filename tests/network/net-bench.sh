#!/usr/bin/env bash
# The network bench the download and policy tests talk to, on loopback only:
# nginx over plain HTTP (a free port) and HTTPS (127.0.0.1:443, name
# "localhost", certificate from a throwaway test CA that the Wine prefix of
# the build trusts), and the scripted fault server (fault_server.py) for what
# nginx cannot be made to do. All state lives in <build>/net-bench/.
#
#   net-bench.sh start  BUILD_DIR   (the Wine bench of BUILD_DIR must be up
#                                    or startable: the CA goes into its prefix)
#   net-bench.sh stop   BUILD_DIR
#   net-bench.sh status BUILD_DIR   (exit 0 when the bench is up)
#   net-bench.sh env    BUILD_DIR   (export lines for eval)
#
# What the tests use (all under <build>/net-bench/):
#   www/                       document root of both listeners
#   www/policy.json            the answer to /v1/bootstrap (missing: 404)
#   www/policy.status-NNN      while it exists, /v1/bootstrap answers NNN
#                              instead (NNN: 204, 304, 404, 500)
#   www/downloads.slow         while it exists, /v1/downloads/ sends at
#                              2 MB/s (to watch a download in progress)
#   /noranges/PATH             www/PATH, ignoring Range (always 200)
#   /status/NNN                an empty answer with status NNN
#   /v1/downloads/*-v9.0.1.exe the fault server's /nolength (HEAD without
#                              Content-Length), *-v9.0.2.exe its /length0
#   access.log                 nginx: 127.0.0.1 PORT "METHOD URI" STATUS
#                              range="RANGE-HEADER" sent=BYTES
#   fault.log                  the fault server, in the same form
#
# Only one server can own 127.0.0.1:443, so the bench holds the lock
# /tmp/velmo-https-443.lock from start to stop; another start (another build
# tree, the lead's or CI's run) waits for it, up to VELMO_NET_LOCK_WAIT
# seconds (default 1800).
set -euo pipefail

self_dir=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
readonly self_dir
readonly wine_run="$self_dir/../../scripts/wine-run.sh"
readonly https_lock=/tmp/velmo-https-443.lock
readonly https_port=443
readonly helpers_lib="$self_dir/../../scripts/lib/bench_helpers.sh"
# shellcheck source=scripts/lib/bench_helpers.sh
source "$helpers_lib"

usage() {
  usage_error "net-bench.sh start|stop|status|env BUILD_DIR"
}

# The recorded pids are asked about by command line: python3 may be a
# wrapper script that execs the real one, so its command name says nothing.
nginx_alive() {
  pid_cmdline_has "$(read_pid "$state/nginx.pid")" "$state/nginx/nginx.conf"
}

fault_alive() {
  pid_cmdline_has "$(read_pid "$state/fault.pid")" fault_server.py
}

bench_up() {
  nginx_alive && fault_alive && [ -s "$state/http.port" ] && [ -s "$state/fault.port" ]
}

# Ends the process recorded in FILE if it still is the one (WORD in its
# command line): SIGTERM, then SIGKILL to its process group (it was started
# with setsid, so the group is its own).
stop_recorded() {
  local file=$1 word=$2 pid
  pid=$(read_pid "$file")
  if pid_cmdline_has "$pid" "$word"; then
    kill -TERM "$pid" 2>/dev/null || true
    if ! wait_while 50 pid_cmdline_has "$pid" "$word"; then
      echo "net-bench: $word $pid ignored SIGTERM, killing its process group" >&2
      kill -KILL -- "-$pid" 2>/dev/null || true
    fi
  fi
  rm -f "$file"
}

free_port() {
  python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

port_listening() {
  local port=$1 sockets
  sockets=$(ss -Htln "sport = :$port" 2>/dev/null) || return 1
  [ -n "$sockets" ]
}

# The CA and the server certificate are made once per build tree, here and
# not in the repository: a key that was never published cannot be abused.
make_certificates() {
  local ca="$state/ca"
  if [ -s "$ca/ca.der" ] && [ -s "$ca/server.pem" ] && [ -s "$ca/server.key" ]; then
    return 0
  fi
  rm -rf "$ca"
  mkdir -p "$ca"
  (
    cd "$ca"
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
      -keyout ca.key -out ca.pem -subj '/CN=VelmoQen test bench CA' \
      -addext 'basicConstraints=critical,CA:TRUE' \
      -addext 'keyUsage=critical,keyCertSign,cRLSign'
    openssl req -newkey rsa:2048 -nodes -sha256 \
      -keyout server.key -out server.csr -subj '/CN=localhost'
    printf '%s\n' 'subjectAltName=DNS:localhost' 'basicConstraints=CA:FALSE' \
      'keyUsage=critical,digitalSignature,keyEncipherment' 'extendedKeyUsage=serverAuth' \
      >server.ext
    openssl x509 -req -sha256 -days 825 -in server.csr -CA ca.pem -CAkey ca.key \
      -CAcreateserial -out server.pem -extfile server.ext
    openssl x509 -in ca.pem -outform der -out ca.der
  ) >"$state/openssl.log" 2>&1 || die "making the test certificates failed; see $state/openssl.log"
}

# WinHTTP under Wine trusts the server only through the prefix's ROOT store.
trust_ca() {
  local helper="$build/tests/network/velmo_add_root_cert.exe"
  [ -x "$wine_run" ] || die "missing $wine_run"
  [ -f "$helper" ] || die "missing $helper; build the target velmo_add_root_cert"
  # A Wine bench brought up on demand here must not inherit the start lock.
  "$wine_run" "$helper" "$state/ca/ca.der" {start_fd}>&- || die "adding the test CA to the Wine prefix failed"
  "$wine_run" "$helper" --check "$state/ca/ca.der" {start_fd}>&- ||
    die "the test CA is not in the Wine prefix's ROOT store after adding it"
}

start_fault_server() {
  local pid tries=100
  rm -f "$state/fault.port"
  setsid python3 "$self_dir/fault_server.py" --root "$state/www" \
    --port-file "$state/fault.port" --log "$state/fault.log" \
    --idle-timeout "${VELMO_NET_FAULT_IDLE:-1800}" \
    </dev/null >>"$state/fault.stderr" 2>&1 {lock_fd}>&- {start_fd}>&- &
  pid=$!
  echo "$pid" >"$state/fault.pid"
  while [ "$tries" -gt 0 ] && [ ! -s "$state/fault.port" ]; do
    pid_alive "$pid" || die "the fault server exited; see $state/fault.stderr"
    sleep 0.1
    tries=$((tries - 1))
  done
  [ -s "$state/fault.port" ] || die "the fault server did not report its port"
}

write_nginx_config() {
  local http_port=$1 fault_port=$2 user_line=""
  # Workers of a root master would run as nobody, who may not read the
  # build tree.
  if [ "$(id -u)" -eq 0 ]; then
    user_line='user root;'
  fi
  mkdir -p "$state/nginx/tmp"
  cat >"$state/nginx/nginx.conf" <<EOF
# Made by net-bench.sh; rewritten at every start.
$user_line
daemon off;
worker_processes 1;
pid $state/nginx/nginx.master.pid;
error_log $state/error.log info;

events {
  worker_connections 64;
}

http {
  log_format bench '\$remote_addr \$server_port "\$request_method \$request_uri" \$status '
                   'range="\$http_range" sent=\$body_bytes_sent';
  access_log $state/access.log bench;

  client_body_temp_path $state/nginx/tmp/body;
  proxy_temp_path $state/nginx/tmp/proxy;
  fastcgi_temp_path $state/nginx/tmp/fastcgi;
  uwsgi_temp_path $state/nginx/tmp/uwsgi;
  scgi_temp_path $state/nginx/tmp/scgi;

  types {
    application/json json;
  }
  default_type application/octet-stream;
  sendfile on;
  keepalive_timeout 10;

  server {
    listen 127.0.0.1:$http_port;
    listen 127.0.0.1:$https_port ssl;
    server_name localhost;
    ssl_certificate $state/ca/server.pem;
    ssl_certificate_key $state/ca/server.key;
    root $state/www;

    location / {
    }

    # A server that ignores Range: 200 with the whole file.
    location /noranges/ {
      alias $state/www/;
      max_ranges 0;
    }

    # A test that wants to watch a download in progress creates
    # www/downloads.slow; the installers then arrive at 2 MB/s.
    location /v1/downloads/ {
      set \$bench_rate 0;
      if (-f $state/www/downloads.slow) { set \$bench_rate 2m; }
      limit_rate \$bench_rate;
    }

    location = /status/204 { return 204; }
    location = /status/304 { return 304; }
    location = /status/404 { return 404; }
    location = /status/416 { return 416; }
    location = /status/500 { return 500; }

    # The test chooses the policy answer: a status marker wins over the body.
    location = /v1/bootstrap {
      default_type application/json;
      if (-f $state/www/policy.status-204) { return 204; }
      if (-f $state/www/policy.status-304) { return 304; }
      if (-f $state/www/policy.status-404) { return 404; }
      if (-f $state/www/policy.status-500) { return 500; }
      try_files /policy.json =404;
    }

    # nginx always sends a length for a file; the size probe's faults come
    # from the fault server under two reserved installer versions.
    location ~ "-v9\\.0\\.1\\.exe\$" {
      rewrite ^ /nolength break;
      proxy_pass http://127.0.0.1:$fault_port;
    }
    location ~ "-v9\\.0\\.2\\.exe\$" {
      rewrite ^ /length0 break;
      proxy_pass http://127.0.0.1:$fault_port;
    }
  }
}
EOF
}

# nginx runs in the foreground of its own session; its pid is the master's.
# It exits at once when a port is taken, which the caller retries.
start_nginx() {
  local pid tries=100
  setsid nginx -p "$state/nginx" -c "$state/nginx/nginx.conf" -e "$state/error.log" \
    </dev/null >>"$state/nginx.stderr" 2>&1 {lock_fd}>&- {start_fd}>&- &
  pid=$!
  echo "$pid" >"$state/nginx.pid"
  while [ "$tries" -gt 0 ]; do
    if ! pid_alive "$pid"; then
      rm -f "$state/nginx.pid"
      return 1
    fi
    if curl --noproxy '*' -s -o /dev/null --max-time 2 "http://127.0.0.1:$(cat "$state/http.port")/status/204" &&
      port_listening "$https_port"; then
      return 0
    fi
    sleep 0.1
    tries=$((tries - 1))
  done
  stop_recorded "$state/nginx.pid" "$state/nginx/nginx.conf"
  return 1
}

# The lock on 443 is held by a small process that lives as long as nginx
# (the start script itself ends before the tests run); it inherits lock_fd,
# which nginx and the fault server were started without.
hold_https_lock() {
  local nginx_pid
  nginx_pid=$(read_pid "$state/nginx.pid")
  # shellcheck disable=SC2016 # expanded by the inner shell
  setsid "$BASH" -c 'source "$2"; while pid_alive "$1"; do sleep 1; done' \
    velmo-https-lock "$nginx_pid" "$helpers_lib" \
    </dev/null >/dev/null 2>&1 {start_fd}>&- &
  echo "$!" >"$state/lock-holder.pid"
}

locked_start() {
  local attempt http_port fault_port wait_seconds=${VELMO_NET_LOCK_WAIT:-1800} waited=0
  if bench_up; then
    echo "net-bench: already up (nginx $(read_pid "$state/nginx.pid"), fault server $(read_pid "$state/fault.pid"))" >&2
    return 0
  fi
  locked_stop
  mkdir -p "$state/www"
  make_certificates
  trust_ca

  exec {lock_fd}>>"$https_lock"
  if ! flock -n "$lock_fd"; then
    echo "net-bench: waiting for $https_lock (another bench owns 127.0.0.1:$https_port)" >&2
    flock -w "$wait_seconds" "$lock_fd" || die "gave up waiting for $https_lock after $wait_seconds s"
  fi
  # Someone who does not take the lock may still be on the port.
  while port_listening "$https_port"; do
    [ "$waited" -lt 120 ] || die "127.0.0.1:$https_port stays busy: $(ss -Htlnp "sport = :$https_port")"
    [ "$waited" -gt 0 ] || echo "net-bench: waiting for port $https_port to become free" >&2
    sleep 1
    waited=$((waited + 1))
  done

  start_fault_server
  fault_port=$(cat "$state/fault.port")
  for attempt in 1 2 3 4 5; do
    http_port=$(free_port)
    echo "$http_port" >"$state/http.port"
    write_nginx_config "$http_port" "$fault_port"
    if start_nginx; then
      hold_https_lock
      echo "net-bench: up: http=127.0.0.1:$http_port https=localhost:$https_port fault=127.0.0.1:$fault_port nginx=$(read_pid "$state/nginx.pid") fault_server=$(read_pid "$state/fault.pid")" >&2
      return 0
    fi
    echo "net-bench: nginx did not start (attempt $attempt); see $state/error.log" >&2
  done
  locked_stop
  die "nginx did not start; see $state/error.log"
}

locked_stop() {
  stop_recorded "$state/nginx.pid" "$state/nginx/nginx.conf"
  stop_recorded "$state/fault.pid" fault_server.py
  stop_recorded "$state/lock-holder.pid" velmo-https-lock
  rm -f "$state/http.port" "$state/fault.port" "$state/nginx/nginx.master.pid"
}

print_env() {
  local http_port fault_port
  bench_up || die "the bench is not running; run: net-bench.sh start $build"
  http_port=$(cat "$state/http.port")
  fault_port=$(cat "$state/fault.port")
  printf 'export VELMO_NET_DIR=%q\n' "$state"
  printf 'export VELMO_NET_WWW=%q\n' "$state/www"
  printf 'export VELMO_NET_HTTP_PORT=%q\n' "$http_port"
  printf 'export VELMO_NET_HTTPS_PORT=%q\n' "$https_port"
  printf 'export VELMO_NET_FAULT_PORT=%q\n' "$fault_port"
  printf 'export VELMO_NET_HTTP_ORIGIN=%q\n' "http://127.0.0.1:$http_port"
  printf 'export VELMO_NET_HTTPS_ORIGIN=%q\n' "https://localhost"
  printf 'export VELMO_NET_FAULT_ORIGIN=%q\n' "http://127.0.0.1:$fault_port"
  printf 'export VELMO_NET_ACCESS_LOG=%q\n' "$state/access.log"
  printf 'export VELMO_NET_FAULT_LOG=%q\n' "$state/fault.log"
  printf 'export VELMO_NET_CA_PEM=%q\n' "$state/ca/ca.pem"
  printf 'export VELMO_NET_CA_DER=%q\n' "$state/ca/ca.der"
}

[ $# -eq 2 ] || usage
command=$1
build=$(build_dir_of "$2")
readonly build
readonly state="$build/net-bench"

drop_proxies

case $command in
  start)
    mkdir -p "$state"
    exec {start_fd}>>"$state/lock"
    flock -w 1900 "$start_fd" || die "gave up waiting for another start or stop of this bench"
    locked_start
    ;;
  stop)
    [ -d "$state" ] || exit 0
    exec {start_fd}>>"$state/lock"
    flock -w 120 "$start_fd" || die "gave up waiting for another start or stop of this bench"
    locked_stop
    ;;
  status)
    bench_up
    ;;
  env)
    print_env
    ;;
  *)
    usage
    ;;
esac
