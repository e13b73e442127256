#!/bin/sh
# What the depot package ships for Prometheus and Alertmanager, checked by their own tools: the
# rules, the example configuration (as shipped, and with its rules in place), the rules' unit
# tests, and Alertmanager's configuration and routes.
set -eu
SHIPPED=$(cd "$(dirname "$0")/../../packaging/depot/prometheus" && pwd)
ALERTMANAGER=$(cd "$(dirname "$0")/../../packaging/depot/alertmanager" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

promtool check rules "$SHIPPED/vovadudoz-fleet.rules.yml"
promtool check config --syntax-only "$SHIPPED/prometheus-example.yml"
# The full check reads the rules too, at the path the example names once installed.
sed "s|/usr/share/vovadudozad-depot/prometheus/|$SHIPPED/|" "$SHIPPED/prometheus-example.yml" >"$WORK/prometheus.yml"
grep -q "$SHIPPED/vovadudoz-fleet.rules.yml" "$WORK/prometheus.yml"
promtool check config "$WORK/prometheus.yml"
promtool test rules "$SHIPPED/vovadudoz-fleet.rules.test.yml" "$SHIPPED/vovadudoz-fleet.rules.month.test.yml"

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

# Alertmanager: the configuration as shipped, and with its commented e-mail example enabled.
amtool check-config "$ALERTMANAGER/alertmanager.yml"
sed -e 's/^  # smtp_/  smtp_/' -e 's/^    # email_configs:/    email_configs:/' \
    -e 's/^    #   - to:/      - to:/' -e 's/^    #     send_resolved:/        send_resolved:/' \
    "$ALERTMANAGER/alertmanager.yml" >"$WORK/alertmanager-mail.yml"
grep -q '^      - to: ' "$WORK/alertmanager-mail.yml"
amtool check-config "$WORK/alertmanager-mail.yml"
# Each kind of alert reaches its receiver: critical ones the control room, warnings the
# maintenance team, anything else the default webhook.
route() {
  expected=$1
  shift
  amtool config routes test --config.file="$ALERTMANAGER/alertmanager.yml" --verify.receivers="$expected" "$@" \
    >/dev/null 2>&1 || {
    echo "alertmanager.yml routes $* to $(amtool config routes test --config.file="$ALERTMANAGER/alertmanager.yml" "$@" 2>/dev/null), not $expected" >&2
    exit 1
  }
}
route control-room alertname=VovadudozVehicleOffline severity=critical vehicle=bus-0001 broker=depot
route control-room alertname=VovadudozBrokerUnreachable severity=critical broker=depot
route maintenance alertname=VovadudozSelfTestOverdue severity=warning vehicle=bus-0001 broker=depot
route maintenance alertname=VovadudozVehicleUnreadable severity=warning vehicle=bus-0001 broker=depot
route depot-webhook alertname=SomethingElse
# Every severity the rules give has a route of its own.
for severity in $(sed -n 's/^ *severity: \([a-z]*\)$/\1/p' "$SHIPPED/vovadudoz-fleet.rules.yml" | sort -u); do
  receiver=$(amtool config routes test --config.file="$ALERTMANAGER/alertmanager.yml" severity="$severity" 2>/dev/null)
  test "$receiver" != depot-webhook || { echo "severity $severity has no route of its own" >&2; exit 1; }
done
echo "alertmanager routes as intended"
