#!/usr/bin/env bash
echo "No benchmarks yet."
