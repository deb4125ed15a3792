#include "tools/preview/bench_server.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "host/element_tree.h"
#include "host/module_image.h"
#include "tools/preview/bench_page_files.h"
#include "tools/preview/bench_requests.h"
#include "tools/preview/module_thread.h"
#include "tools/preview/png_file.h"

namespace gauge_preview {

namespace {

using nlohmann::json;

constexpr const char* kAddress = "127.0.0.1";

std::string Hex(std::uint32_t word, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*lX", digits, static_cast<unsigned long>(word));
    return text;
}

json Point(PixelPos point) { return json::array({point.x, point.y}); }

json ElementJson(std::size_t index, const BenchElement& element) {
    json shown = {{"index", index},
                  {"depth", element.depth},
                  {"kind", gauge_host::ElementKindName(element.type)},
                  {"bitmap", element.resource_id},
                  {"position", Point(element.position)},
                  {"offset", Point(element.offset)},
                  {"inputs", json::object()}};
    for (const auto& [role, id] : element.inputs) shown["inputs"][role] = id;
    if (element.reading) {
        const ElementReading& reading = *element.reading;
        json& read = shown["reading"] = {{"bitmap", reading.bitmap}};
        if (element.type == kNeedle) read["value"] = reading.value;
        if (element.type == kIcon) {
            read["callback_result"] = reading.value;
            read["picture"] = reading.picture;
        }
        if (element.type == kSlider) read["shift"] = Point(reading.shift);
    }
    return shown;
}

json StateJson(const BenchState& state) {
    json out = {{"gauge", {{"name", state.gauge_name}, {"module", state.module_path}, {"width", state.width}, {"height", state.height}}},
                {"variables", json::array()},
                {"events", json::array()},
                {"events_sent", state.events_sent},
                {"elements", json::array()},
                {"mouse_columns", json::array()},
                {"links", json::array()},
                {"last_point", nullptr},
                {"frames_drawn", state.frames_drawn},
                {"module_calls",
                 {{"made", state.module_calls.made},
                  {"overlapping", state.module_calls.overlapping},
                  {"most_at_once", state.module_calls.most_at_once}}}};
    for (const BenchVariable& variable : state.variables)
        out["variables"].push_back(
            {{"id", variable.id}, {"value", variable.value}, {"roles", variable.roles}, {"range", {variable.low, variable.high}}});
    for (const SentEvent& event : state.events)
        out["events"].push_back({{"number", event.number}, {"id", Hex(event.event_id, 1)}, {"value", event.value},
                                 {"set_variables", event.set_variables}});
    for (std::size_t i = 0; i < state.elements.size(); ++i) out["elements"].push_back(ElementJson(i, state.elements[i]));
    for (const MouseColumn& column : state.mouse_columns)
        out["mouse_columns"].push_back({{"record", column.record},
                                        {"box", {{"x", column.box.x}, {"y", column.box.y}, {"width", column.box.width}, {"height", column.box.height}}},
                                        {"mask", Hex(column.mask, 8)},
                                        {"takes_drags", column.takes_drags}});
    for (const EventLink& link : state.links) out["links"].push_back({{"event", Hex(link.event_id, 1)}, {"variable", link.var_id}});
    if (state.last_point) {
        const PointOutcome& point = *state.last_point;
        out["last_point"] = {{"x", point.x}, {"y", point.y}, {"drag", point.drag}, {"delivered", point.delivered},
                             {"record", point.record ? json(*point.record) : json(nullptr)}};
    }
    return out;
}

void Refuse(httplib::Response& response, int status, const std::string& reason) {
    response.status = status;
    response.set_content(reason + "\n", "text/plain; charset=utf-8");
}

void AnswerState(httplib::Response& response, const BenchState& state) {
    response.set_content(StateJson(state).dump(), "application/json");
}

const char* ContentType(std::string_view name) {
    if (name.ends_with(".html")) return "text/html; charset=utf-8";
    if (name.ends_with(".css")) return "text/css; charset=utf-8";
    if (name.ends_with(".js")) return "text/javascript; charset=utf-8";
    return "application/octet-stream";
}

// Whether a request's body is declared JSON. A page of another site can send a form to the bench
// without asking, but not a body of this type; a browser asks the bench first, and it says nothing.
bool DeclaredJson(const httplib::Request& request) {
    const std::string type = request.get_header_value("Content-Type");
    return type == "application/json" || type.rfind("application/json;", 0) == 0;
}

}  // namespace

void ServeBench(const BenchOptions& options, int port, std::ostream& out) {
    ModuleThread<GaugeBench> bench([&options] { return std::make_unique<GaugeBench>(options); });
    const auto [width, height, gauge_name] =
        bench.Run([](GaugeBench& gauge) { return std::make_tuple(gauge.width(), gauge.height(), gauge.State().gauge_name); });

    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
    // Bodies past this are not read at all (httplib answers 413, which becomes a 400 below); those
    // up to it are read and refused by their size.
    server.set_payload_max_length(64 * 1024);
    // Each answer goes out in more than one write; without this, the second waits for the
    // client's delayed acknowledgement of the first, some 40 ms.
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(1000);
    server.set_keep_alive_timeout(2);

    const int bound_port = port == 0 ? server.bind_to_any_port(kAddress) : (server.bind_to_port(kAddress, port) ? port : -1);
    if (bound_port <= 0)
        throw std::runtime_error("cannot listen on " + std::string(kAddress) + ":" + (port == 0 ? "a free port" : std::to_string(port)));
    const std::string authority = std::string(kAddress) + ":" + std::to_string(bound_port);

    // A page of another site may reach the bench through a name of its own that leads here; it
    // would send that name as the Host, which the bench refuses.
    server.set_pre_routing_handler([authority, bound_port](const httplib::Request& request, httplib::Response& response) {
        const std::string host = request.get_header_value("Host");
        if (host == authority || host == "localhost:" + std::to_string(bound_port)) return httplib::Server::HandlerResponse::Unhandled;
        Refuse(response, 400, "the Host header must be " + authority);
        return httplib::Server::HandlerResponse::Handled;
    });
    server.set_post_routing_handler([](const httplib::Request&, httplib::Response& response) {
        response.set_header("Cache-Control", "no-store");
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_header("Content-Security-Policy", "default-src 'self'; img-src 'self' blob:; frame-ancestors 'none'");
    });
    server.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
        if (response.status == 413) Refuse(response, 400, "the body is over " + std::to_string(kLargestRequestBody) + " bytes");
        else if (!response.body.empty()) return;
        else if (response.status == 404) Refuse(response, 404, "no such page: " + request.method + " " + request.path);
        else Refuse(response, response.status, "the request is not well-formed HTTP, or lacks the length of its body");
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr error) {
        std::string what = "an unknown error";
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& caught) {
            what = caught.what();
        } catch (...) {
        }
        Refuse(response, 500, "the bench could not answer: " + what);
    });

    for (std::size_t i = 0; i < kBenchPageFileCount; ++i) {
        const EmbeddedFile& file = kBenchPageFiles[i];
        const std::string path = std::string_view(file.name) == "bench_page.html" ? "/" : "/" + std::string(file.name);
        server.Get(path, [&file](const httplib::Request&, httplib::Response& response) {
            response.set_content(reinterpret_cast<const char*>(file.bytes), file.size, ContentType(file.name));
        });
    }
    server.Get("/api/state", [&bench](const httplib::Request&, httplib::Response& response) {
        AnswerState(response, bench.Run([](GaugeBench& gauge) { return gauge.State(); }));
    });
    server.Get("/api/frame.png", [&bench](const httplib::Request&, httplib::Response& response) {
        const Canvas frame = bench.Run([](GaugeBench& gauge) { return gauge.Draw(); });
        // Encoding needs nothing of the module, so it runs here, beside the module's thread.
        const std::vector<unsigned char> png = EncodePng(frame);
        response.set_content(reinterpret_cast<const char*>(png.data()), png.size(), "image/png");
    });
    server.Post("/api/point", [&bench, width = width, height = height](const httplib::Request& request, httplib::Response& response) {
        if (!DeclaredJson(request)) return Refuse(response, 400, "the body must be declared application/json");
        PointRequest point;
        try {
            point = ReadPointRequest(request.body, width, height);
        } catch (const RequestRefused& refused) {
            return Refuse(response, 400, refused.what());
        }
        AnswerState(response, bench.Run([&point](GaugeBench& gauge) {
            gauge.Point(point.x, point.y, point.drag);
            gauge.Draw();
            return gauge.State();
        }));
    });
    server.Post("/api/variables", [&bench](const httplib::Request& request, httplib::Response& response) {
        if (!DeclaredJson(request)) return Refuse(response, 400, "the body must be declared application/json");
        VariableRequest variable;
        try {
            variable = ReadVariableRequest(request.body);
        } catch (const RequestRefused& refused) {
            return Refuse(response, 400, refused.what());
        }
        std::string refusal;
        const BenchState state = bench.Run([&variable, &refusal](GaugeBench& gauge) {
            try {
                gauge.SetVariable(variable.id, variable.value);
            } catch (const BenchRefusal& refused) {
                refusal = refused.what();
                return BenchState{};
            }
            gauge.Draw();
            return gauge.State();
        });
        if (!refusal.empty()) return Refuse(response, 400, refusal);
        AnswerState(response, state);
    });

    out << "gauge_preview: serving \"" << gauge_host::PrintableText(gauge_name) << "\" at http://" << authority << "/" << std::endl;
    if (!server.listen_after_bind()) throw std::runtime_error("stopped serving on " + authority);
}

}  // namespace gauge_preview
