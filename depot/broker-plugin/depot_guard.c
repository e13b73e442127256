/*
 * The depot broker's guard: a mosquitto plugin loaded beside the password file and the access
 * list of the depot's central broker. Those two say who may log in and which login may read or
 * write which vehicle's topics; the guard adds what they cannot say:
 *
 *  - a client id belongs to one login: the login itself, or the login, a ':' and anything
 *    ("operator:3f9ac2"), and a vehicle's bridge keeps "vovadudozad-<vehicle id>". A login
 *    name never holds a ':' (mosquitto's password file cannot), so no login can name the
 *    session of another and push it off the broker, while several pages of one login, each
 *    with its own suffix, stay side by side;
 *  - under fleet/<id>/ only the topics the vehicles and the depot use are published, each
 *    within the size that fits it, retained only where a vehicle keeps its latest state, and
 *    requests (".../get", ".../config/set") never retained.
 *
 * Both checks answer "refused" or "no objection" (MOSQ_ERR_PLUGIN_DEFER): the password file
 * and the access list still decide everything the guard lets through. A refusal logs one line
 * (at most one a second, with the count of those left out), so a vehicle sending junk cannot
 * flood the log.
 *
 * Options (plugin_opt_<name> in the broker's configuration):
 *   bridge_prefix   the prefix of a vehicle bridge's client id (default "vovadudozad-")
 *   control_topic   one more topic under fleet/<id>/, never retained, up to 64 KB: the vehicle
 *                   emulator's control topic in local runs ("emulator"); unset at a depot
 */

#include <mosquitto.h>
#include <mosquitto_broker.h>
#include <mosquitto_plugin.h>

#include <stdarg.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#define FLEET_PREFIX "fleet/"

struct topic_rule {
    const char *suffix;   /* after fleet/<id>/ */
    bool retain;          /* may be retained */
    uint32_t max_bytes;   /* payload */
};

/* Sizes: several times what the program sends (a status is about 200 bytes, a configuration
 * under 2 KB, a self-test under 1 KB), so a vehicle's retained state stays under 60 KB
 * whatever it sends. A screenshot is at most 200 KB. */
static const struct topic_rule rules[] = {
    { "bridge", true, 16 },
    { "ui/info", true, 4096 },
    { "ui/status", true, 8192 },
    { "ui/config", true, 32768 },
    { "ui/diagnostics", true, 16384 },
    { "ui/screenshot", false, 262144 },
    { "ui/info/get", false, 1024 },
    { "ui/status/get", false, 1024 },
    { "ui/config/get", false, 1024 },
    { "ui/screenshot/get", false, 1024 },
    { "ui/config/set", false, 32768 },
};

struct guard {
    mosquitto_plugin_id_t *id;
    char *bridge_prefix;
    struct topic_rule control;
    bool has_control;
    time_t last_log;
    unsigned long quiet;
};

static void refuse_log(struct guard *guard, const char *fmt, ...)
{
    time_t now = time(NULL);
    if (now == guard->last_log) {
        guard->quiet++;
        return;
    }
    char line[512];
    va_list args;
    va_start(args, fmt);
    vsnprintf(line, sizeof line, fmt, args);
    va_end(args);
    if (guard->quiet) {
        mosquitto_log_printf(MOSQ_LOG_NOTICE, "depot guard: %s (and %lu more refusals)", line, guard->quiet);
    } else {
        mosquitto_log_printf(MOSQ_LOG_NOTICE, "depot guard: %s", line);
    }
    guard->last_log = now;
    guard->quiet = 0;
}

/* Text from a client, fit for one log line: control characters become '?'. */
static const char *printable(const char *text, char *out, size_t size)
{
    size_t i = 0;
    for (; text && text[i] && i + 1 < size; i++) {
        out[i] = (unsigned char)text[i] < 0x20 || text[i] == 0x7f ? '?' : text[i];
    }
    out[i] = '\0';
    return text ? out : "(none)";
}

static bool starts_with(const char *text, const char *prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

/* Whether a login may use a client id (see the file's comment). */
static bool id_of_login(const struct guard *guard, const char *login, const char *client_id)
{
    const size_t n = strlen(login);
    const char *prefix = guard->bridge_prefix;
    if (starts_with(client_id, prefix)) {
        return strcmp(client_id + strlen(prefix), login) == 0;
    }
    return strncmp(client_id, login, n) == 0 && (client_id[n] == '\0' || client_id[n] == ':');
}

static int on_basic_auth(int event, void *event_data, void *userdata)
{
    (void)event;
    struct guard *guard = userdata;
    const struct mosquitto_evt_basic_auth *auth = event_data;
    const char *client_id = mosquitto_client_id(auth->client);
    if (!auth->username || !client_id) {
        return MOSQ_ERR_PLUGIN_DEFER;   /* no login: the password file refuses it */
    }
    if (!id_of_login(guard, auth->username, client_id)) {
        char login[80], id[80];
        refuse_log(guard, "client id '%s' refused for login %s: an id is the login, or the login, ':' and more",
                   printable(client_id, id, sizeof id), printable(auth->username, login, sizeof login));
        return MOSQ_ERR_AUTH;
    }
    return MOSQ_ERR_PLUGIN_DEFER;
}

/* The rule for a fleet topic's suffix, or NULL. */
static const struct topic_rule *rule_for(const struct guard *guard, const char *suffix)
{
    for (size_t i = 0; i < sizeof rules / sizeof rules[0]; i++) {
        if (strcmp(suffix, rules[i].suffix) == 0) {
            return &rules[i];
        }
    }
    if (guard->has_control && strcmp(suffix, guard->control.suffix) == 0) {
        return &guard->control;
    }
    return NULL;
}

static int on_acl_check(int event, void *event_data, void *userdata)
{
    (void)event;
    struct guard *guard = userdata;
    const struct mosquitto_evt_acl_check *check = event_data;
    if (check->access != MOSQ_ACL_WRITE || !check->topic || !starts_with(check->topic, FLEET_PREFIX)) {
        return MOSQ_ERR_PLUGIN_DEFER;
    }
    char who[80], topic[200];
    printable(mosquitto_client_username(check->client), who, sizeof who);
    printable(check->topic, topic, sizeof topic);
    const char *id = check->topic + strlen(FLEET_PREFIX);
    const char *slash = strchr(id, '/');
    const struct topic_rule *rule = (slash && slash != id) ? rule_for(guard, slash + 1) : NULL;
    if (!rule) {
        refuse_log(guard, "%s may not publish on %s: not a fleet topic", who, topic);
        return MOSQ_ERR_ACL_DENIED;
    }
    if (check->retain && !rule->retain) {
        refuse_log(guard, "%s may not retain %s: requests and pictures are never kept", who, topic);
        return MOSQ_ERR_ACL_DENIED;
    }
    if (check->payloadlen > rule->max_bytes) {
        refuse_log(guard, "%s may not publish on %s: %lu bytes is too large", who, topic,
                   (unsigned long)check->payloadlen);
        return MOSQ_ERR_ACL_DENIED;
    }
    return MOSQ_ERR_PLUGIN_DEFER;
}

int mosquitto_plugin_version(int supported_version_count, const int *supported_versions)
{
    for (int i = 0; i < supported_version_count; i++) {
        if (supported_versions[i] == 5) {
            return 5;
        }
    }
    return -1;
}

int mosquitto_plugin_init(mosquitto_plugin_id_t *identifier, void **userdata, struct mosquitto_opt *options,
                          int option_count)
{
    struct guard *guard = calloc(1, sizeof *guard);
    if (!guard) {
        return MOSQ_ERR_NOMEM;
    }
    guard->id = identifier;
    const char *bridge_prefix = "vovadudozad-";
    for (int i = 0; i < option_count; i++) {
        if (strcmp(options[i].key, "bridge_prefix") == 0 && options[i].value[0]) {
            bridge_prefix = options[i].value;
        } else if (strcmp(options[i].key, "control_topic") == 0 && options[i].value[0]) {
            guard->control.suffix = strdup(options[i].value);
            guard->control.retain = false;
            guard->control.max_bytes = 65536;
            guard->has_control = guard->control.suffix != NULL;
        } else {
            mosquitto_log_printf(MOSQ_LOG_WARNING, "depot guard: unknown option %s", options[i].key);
        }
    }
    guard->bridge_prefix = strdup(bridge_prefix);
    if (!guard->bridge_prefix) {
        free(guard);
        return MOSQ_ERR_NOMEM;
    }
    *userdata = guard;
    int rc = mosquitto_callback_register(identifier, MOSQ_EVT_BASIC_AUTH, on_basic_auth, NULL, guard);
    if (rc == MOSQ_ERR_SUCCESS) {
        rc = mosquitto_callback_register(identifier, MOSQ_EVT_ACL_CHECK, on_acl_check, NULL, guard);
    }
    return rc;
}

int mosquitto_plugin_cleanup(void *userdata, struct mosquitto_opt *options, int option_count)
{
    (void)options;
    (void)option_count;
    struct guard *guard = userdata;
    if (guard) {
        mosquitto_callback_unregister(guard->id, MOSQ_EVT_BASIC_AUTH, on_basic_auth, NULL);
        mosquitto_callback_unregister(guard->id, MOSQ_EVT_ACL_CHECK, on_acl_check, NULL);
        free(guard->bridge_prefix);
        free((char *)guard->control.suffix);
        free(guard);
    }
    return MOSQ_ERR_SUCCESS;
}
