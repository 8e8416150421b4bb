#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
set -euo pipefail

packages=(cmake ninja-build g++ libboost-dev libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev python3 pkg-config
  # The network transport (remote/): gRPC, protobuf and its compiler with the gRPC plugin,
  # OpenSSL for token digests, and the openssl command that makes the TLS tests' certificates.
  libgrpc++-dev libprotobuf-dev protobuf-compiler protobuf-compiler-grpc libssl-dev openssl
  # The fuzz targets (fuzz/): clang, and the libFuzzer runtime; xxd shows a crashing input in CI.
  clang libclang-rt-14-dev xxd)

missing=()
for pkg in "${packages[@]}"; do
  if ! dpkg -s "$pkg" >/dev/null 2>&1; then
    missing+=("$pkg")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi

echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
