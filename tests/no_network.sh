# shellcheck shell=bash
# SPDX-FileCopyrightText: 2026 The kun2wyt authors
# SPDX-License-Identifier: MIT
# Sourced by the tests that run a packaging tool. Whatever the tool would still fetch
# (EasyBuild looks for a newer config.guess) goes to a closed port on this machine and fails at
# once: nothing reaches the network.
export http_proxy=http://127.0.0.1:9 https_proxy=http://127.0.0.1:9 HTTP_PROXY=http://127.0.0.1:9 HTTPS_PROXY=http://127.0.0.1:9
