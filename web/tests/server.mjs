// A static file server for the site folder on a free localhost port, as any static host
// would serve it. `served` lists what was sent, in order.
import {createServer} from 'node:http';
import {readFile} from 'node:fs/promises';
import {extname, join, normalize} from 'node:path';

const kTypes = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
                '.wasm': 'application/wasm', '.wav': 'audio/wav', '.json': 'application/json',
                '.png': 'image/png', '.sf2': 'application/octet-stream'};

export function serve(root) {
  const server = createServer(async (request, response) => {
    let path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    if (path.endsWith('/')) path += 'index.html';
    try {
      const body = await readFile(join(root, path));
      server.served.push({path, bytes: body.length});
      response.writeHead(200, {'content-type': kTypes[extname(path)] || 'application/octet-stream'});
      response.end(body);
    } catch {
      response.writeHead(404);
      response.end();
    }
  });
  server.served = [];
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}
