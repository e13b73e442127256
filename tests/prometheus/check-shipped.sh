#!/bin/sh
# What the depot package ships for Prometheus, checked by Prometheus' own tool: the rules, the
# example configuration (as shipped, and with its rules in place), and the rules' unit tests.
set -eu
SHIPPED=$(cd "$(dirname "$0")/../../packaging/depot/prometheus" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

promtool check rules "$SHIPPED/vovadudoz-fleet.rules.yml"
promtool check config --syntax-only "$SHIPPED/prometheus-example.yml"
# The full check reads the rules too, at the path the example names once installed.
sed "s|/usr/share/vovadudozad-depot/prometheus/|$SHIPPED/|" "$SHIPPED/prometheus-example.yml" >"$WORK/prometheus.yml"
grep -q "$SHIPPED/vovadudoz-fleet.rules.yml" "$WORK/prometheus.yml"
promtool check config "$WORK/prometheus.yml"
promtool test rules "$SHIPPED/vovadudoz-fleet.rules.test.yml"

# Each exporter instance the service runs has its configuration, and the example scrapes the
# port it listens on.
for instance in status selftest link; do
  test -f "$SHIPPED/exporter-$instance.yaml"
  port=$(sed -n 's/^LISTEN_PORT=\([0-9]*\)$/\1/p' "$SHIPPED/exporter-$instance.env")
  grep -q "\"127.0.0.1:$port\"" "$SHIPPED/prometheus-example.yml" || {
    echo "prometheus-example.yml does not scrape the $instance exporter's port ($port)" >&2
    exit 1
  }
done
echo "exporter instances and scrape targets agree"
